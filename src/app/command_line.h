#pragma once

#include <QString>
#include <QStringList>

// What the program was asked to do on its command line. Parsed before the application object
// exists, so --version and --help work without a display.
struct TCommandLine
{
    enum class TAction { Run, PrintVersion, PrintHelp, Error };
    TAction Action = TAction::Run;
    QString Home;  // --home DIR
    QString Error; // for TAction::Error: what was wrong, in the user's language
};

// `args` without the program name.
TCommandLine ParseCommandLine(const QStringList &args, bool russian);

// The texts printed for --version and --help, ending with a line break.
QString VersionText();
QString HelpText(bool russian);
// Printed by a second start that handed over to the running window.
QString AlreadyRunningText(bool russian);

// True when the user's locale (LC_ALL, LC_MESSAGES, LANG, in the order the C library reads
// them) is Russian.
bool UserPrefersRussian();
