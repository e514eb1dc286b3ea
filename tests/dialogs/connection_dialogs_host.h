#pragma once

// The main window as the connection dialogs see it: the shipped configuration in the
// program directory, every line the engine sends written down, and, when asked, a connect
// action that connects the engine from connect.ini and user.ini as the main window does.

#include "dialog_test_host.h"

class ConnectionDialogsHost : public TestDialogHost
{
public:
    ConnectionDialogsHost()
    {
        copyShipped(QStringLiteral("config"), {QStringLiteral("*.ini")});
        client.OnSend = [this](TIrcClient *, const QByteArray &line) { sent << line; };
    }

    void ConnectAction() override
    {
        TestDialogHost::ConnectAction();
        if (!connectOnAction)
            return;
        if (client.Connected()) {
            client.Disconnect(true);
            return;
        }
        client.Host = GetConnectValue(QStringLiteral("Server"));
        client.Port = ConfigToInt(GetConnectValue(QStringLiteral("Port")));
        client.SetNick(Cp1251(GetUserValue(QStringLiteral("Nick"))));
        client.Connect();
    }

    QList<QByteArray> sent;
    bool connectOnAction = false;
};
