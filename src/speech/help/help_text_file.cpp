#include "speech/help/help_text_file.h"

#include "config/config_text_file.h"

#include <QFile>

std::optional<QString> ReadHelpText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QString text = DecodeTextFile(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
