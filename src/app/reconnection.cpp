// Reconnecting after a lost connection: said and shown, retried with growing waits, the
// channels that had open windows joined again into the same windows.
#include "app/codepage.h"
#include "app/main_window.h"
#include "app/talvin_application.h"
#include "irc/irc_case.h"
#include "irc/irc_client.h"
#include "speech/tspeech.h"

#include "channels/channel_form.h"
#include "channels/channel_forms.h"

#include <QTimer>

namespace {

const QColor Red(255, 0, 0);

} // namespace

void TForm1::ConnectionLost()
{
    // Only a close nobody asked for: the user's Disconnect, a new connect and the
    // program's end all go through the engine's own disconnect first.
    if (m_closing || m_disconnecting || IRC->State() == stDisconnecting ||
        IRC->State() == stDisconnected)
        return;
    m_reconnectHost = IRC->Host;
    m_reconnectPort = IRC->Port;
    m_rejoinChannels.clear();
    m_rejoinPending.clear();
    for (int slot = 0; slot < ChannelFormCount; ++slot) {
        const TChannelForm *form = ChannelFormAt(slot);
        if (form && TIrcClient::IsChannelName(form->ChannelName.toLatin1()))
            m_rejoinChannels << form->ChannelName;
    }
    ReconnectDelay.Reset();
    ScheduleReconnect(QStringLiteral("Связь с сервером %1 потеряна.").arg(m_reconnectHost));
}

void TForm1::ScheduleReconnect(const QString &why)
{
    const int delay = ReconnectDelay.Next();
    const QString text =
        why +
        QStringLiteral(" Повторное подключение через %1 с, Ctrl+R — отменить.").arg(delay / 1000);
    SetStatusText(text);
    AddToStatus(text, Red);
    Speech1->Speak(text);
    m_reconnecting = true;
    if (!m_reconnectTimer) {
        m_reconnectTimer = new QTimer(this);
        m_reconnectTimer->setSingleShot(true);
        connect(m_reconnectTimer, &QTimer::timeout, this,
                [this] { RunGuarded([this] { ReconnectNow(); }); });
    }
    m_reconnectTimer->start(delay);
}

bool TForm1::CancelReconnect()
{
    if (!m_reconnecting)
        return false;
    m_reconnecting = false;
    if (m_reconnectTimer)
        m_reconnectTimer->stop();
    m_rejoinChannels.clear();
    const QString text = QStringLiteral("Переподключение отменено.");
    SetStatusText(text);
    AddToStatus(text);
    Speech1->Speak(text);
    return true;
}

void TForm1::ReconnectNow()
{
    if (!m_reconnecting || m_closing || IRC->Connected() || m_attempt)
        return;
    AddToStatus(QStringLiteral("Переподключение к %1.").arg(m_reconnectHost));
    ConnectTo(m_reconnectHost, m_reconnectPort);
}

void TForm1::Registered()
{
    if (!m_reconnecting)
        return;
    m_reconnecting = false;
    ReconnectDelay.Reset();
    const QString text = QStringLiteral("Связь с сервером %1 восстановлена.").arg(IRC->Host);
    AddToStatus(text);
    Speech1->Speak(text);
    for (const QString &channel : std::as_const(m_rejoinChannels)) {
        IRC->Join(EncodeEngineText(channel));
        SetChannelEvent(channel,
                        QStringLiteral("Связь восстановлена, снова вход в канал %1.").arg(channel));
    }
    m_rejoinPending = m_rejoinChannels;
    m_rejoinChannels.clear();
}

bool TForm1::TakeRejoin(const QString &channel)
{
    const TIrcCaseMapping mapping = IRC ? IRC->CaseMapping() : TIrcCaseMapping::AsciiCyrillic;
    for (qsizetype i = 0; i < m_rejoinPending.size(); ++i) {
        if (IrcCase::SameName(m_rejoinPending[i], channel, mapping)) {
            m_rejoinPending.removeAt(i);
            return true;
        }
    }
    return false;
}
