#include "app/command_line.h"

#include <QCoreApplication>

#ifndef TALVIN_VERSION
#define TALVIN_VERSION "unknown"
#endif

TCommandLine ParseCommandLine(const QStringList &args, bool russian)
{
    TCommandLine result;
    auto fail = [&](const QString &ru, const QString &en) {
        result.Action = TCommandLine::TAction::Error;
        result.Error = russian ? ru : en;
        return result;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--version") || arg == QLatin1String("-v")) {
            result.Action = TCommandLine::TAction::PrintVersion;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            result.Action = TCommandLine::TAction::PrintHelp;
        } else if (arg == QLatin1String("--home")) {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty())
                return fail(QStringLiteral("После --home нужен каталог."),
                            QStringLiteral("--home needs a directory."));
            result.Home = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--home="))) {
            result.Home = arg.mid(7);
            if (result.Home.isEmpty())
                return fail(QStringLiteral("После --home нужен каталог."),
                            QStringLiteral("--home needs a directory."));
        } else {
            return fail(QStringLiteral("Неизвестный параметр: %1").arg(arg),
                        QStringLiteral("Unknown option: %1").arg(arg));
        }
    }
    // Asking for the version or the help wins over everything else on the line.
    return result;
}

QString VersionText()
{
    return QStringLiteral("Talvin " TALVIN_VERSION "\n");
}

QString HelpText(bool russian)
{
    if (russian)
        return QStringLiteral(
            "Использование: talvin [--home КАТАЛОГ]\n"
            "Талвин - IRC клиент для незрячих и слабовидящих: всё, что в нём есть, звучит.\n"
            "\n"
            "  --home КАТАЛОГ  каталог программы (настройки, журналы, список каналов);\n"
            "                  по умолчанию $TALVIN_HOME или $XDG_DATA_HOME/talvin\n"
            "  --version       показать версию и выйти\n"
            "  --help          показать эту справку и выйти\n"
            "\n"
            "При первом запуске каталог программы создаётся из поставляемого образца.\n"
            "Повторный запуск выводит уже открытое окно Талвина на передний план.\n");
    return QStringLiteral(
        "Usage: talvin [--home DIR]\n"
        "Talvin is an IRC client for blind and visually impaired people: everything in it "
        "speaks.\n"
        "\n"
        "  --home DIR  the program directory (settings, logs, channel list);\n"
        "              by default $TALVIN_HOME or $XDG_DATA_HOME/talvin\n"
        "  --version   print the version and exit\n"
        "  --help      print this help and exit\n"
        "\n"
        "The first start makes the program directory from the shipped template.\n"
        "A second start brings the running Talvin window to the front.\n");
}

QString AlreadyRunningText(bool russian)
{
    return russian ? QStringLiteral("Талвин уже запущен: его окно выведено на передний план.\n")
                   : QStringLiteral("Talvin is already running: its window was brought to the "
                                    "front.\n");
}

bool UserPrefersRussian()
{
    // The first of these that is set decides, as for the C library's messages.
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value.startsWith(QLatin1String("ru"));
    }
    return false;
}
