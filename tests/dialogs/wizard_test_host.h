#pragma once

// A dialog host for the wizard, the small windows and the configuration editor, with the
// shipped help texts at hand.

#include "dialog_test_host.h"

class WizardTestHost : public TestDialogHost
{
public:
    // Copies the shipped help texts (wizard steps, IRC topic) into the program directory.
    void copyShippedHelp() const { copyShipped(QStringLiteral("help")); }
    QString helpText(const QString &name) const
    {
        QFile file(programDir.filePath(QStringLiteral("help/") + name));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll())
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
};
