#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its own directory (configuration, logs, the last channel list) and
// how a new one is made. An installed program ships a read-only template
// (<prefix>/share/talvin); the user's copy lives in $XDG_DATA_HOME/talvin unless TALVIN_HOME or
// --home says otherwise.

// The user's program directory: `explicitHome` (from --home) when given, else the environment
// variable TALVIN_HOME, else $XDG_DATA_HOME/talvin, else ~/.local/share/talvin.
QString ResolveProgramHome(const QString &explicitHome);

// The shipped template next to the executable in `appDir`: the installed layout
// (<appDir>/../share/talvin) or the build tree (<appDir>/dist). Empty when neither exists.
QString FindProgramTemplate(const QString &appDir);

struct ProgramHomeResult
{
    bool ok = false;
    QStringList added; // files copied from the template, relative to the home
    QString error;     // what failed, with the full path
};

// Makes `home` if needed and copies every template file the home lacks. A file already in the
// home is never replaced, however old it is: it may carry the user's edits. An empty template
// path only makes the directory.
ProgramHomeResult PrepareProgramHome(const QString &templateDir, const QString &home);
