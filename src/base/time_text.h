#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

// The system's long time format without its time-zone name ("12:05:09", not
// "12:05:09 UTC"): status bar, logs and channel headers show clock times, and a zone name
// read aloud after every message header is only noise.
inline QString LongTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            result += c;
    }
    return result.trimmed();
}

inline QString LongTimeText(const QTime &time)
{
    return QLocale::system().toString(time, LongTimeFormat());
}
