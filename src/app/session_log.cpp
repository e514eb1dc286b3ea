#include "app/session_log.h"

#include "app/codepage.h"
#include "base/time_text.h"
#include "config/config_files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

QByteArray LogText(const QString &text)
{
    return EncodeEngineText(text);
}

} // namespace

TSessionLog::TSessionLog() = default;
TSessionLog::~TSessionLog() = default;

QString TSessionLog::LogFilePath()
{
    return ProgramDir() + QStringLiteral("/log/trafic.log");
}

QString TSessionLog::NowText()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           LongTimeText(now.time());
}

bool TSessionLog::IsOpen() const
{
    return m_file && m_file->isOpen();
}

void TSessionLog::CreateLogFile(const QString &host)
{
    m_file.reset();
    // An installation made before the program directory shipped log/ has none: make it,
    // or no connection would ever be logged.
    QDir().mkpath(QFileInfo(LogFilePath()).absolutePath());
    auto file = std::make_unique<QFile>(LogFilePath());
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    m_file = std::move(file);
    AddToLog(
        LogText(QStringLiteral("*** Connected to ") + host + QStringLiteral(" at ") + NowText()));
}

void TSessionLog::DestroyLogFile(const QString &host)
{
    if (!IsOpen())
        return;
    AddToLog(LogText(QStringLiteral("*** Disconnected with ") + host + QStringLiteral(" at ") +
                     NowText()));
    m_file->close();
    m_file.reset();
}

void TSessionLog::AddToLog(const QByteArray &text)
{
    if (!IsOpen())
        return;
    m_file->write(text + "\r\n");
    m_file->flush();
}

void AppendToStatusTranscript(const QString &line)
{
    // A relative name is the working directory's file; asking the working directory for
    // its path first cost more than the check itself on every status line.
    QFile file(QStringLiteral("log.txt"));
    if (!file.exists())
        return;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(EncodeEngineText(line) + "\r\n");
}
