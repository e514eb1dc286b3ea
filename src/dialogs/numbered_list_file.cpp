#include "dialogs/numbered_list_file.h"

#include "config/config_files.h"
#include "config/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCodec>

namespace {

// Profile reads hand back at most this many characters (as GetConfigValue does).
constexpr qsizetype MaxValueLength = 2047;

QTextCodec *cp1251()
{
    return QTextCodec::codecForName("windows-1251");
}

[[noreturn]] void raiseWriteError(const QString &path)
{
    throw EConfigWriteError(QStringLiteral("Unable to write to %1").arg(path));
}

// The file's text as lines, with what is needed to write it back the way it was.
struct TextFile
{
    QStringList lines;
    QString newline = QStringLiteral("\n");
    IniFile::Encoding encoding = IniFile::Encoding::Utf8;
};

TextFile decode(const QByteArray &bytes)
{
    TextFile file;
    // The reader of the other configuration functions decides the encoding, so both agree.
    file.encoding = IniFile::fromBytes(bytes).encoding();
    QByteArray body = bytes;
    if (file.encoding == IniFile::Encoding::Utf8WithBom)
        body.remove(0, 3);
    QString text = file.encoding == IniFile::Encoding::Cp1251 ? cp1251()->toUnicode(body)
                                                              : QString::fromUtf8(body);
    const qsizetype cr = text.indexOf(u'\r');
    if (cr >= 0 && (text.indexOf(u'\n') < 0 || text.indexOf(u'\n') > cr))
        file.newline = cr + 1 < text.size() && text.at(cr + 1) == u'\n' ? QStringLiteral("\r\n")
                                                                        : QStringLiteral("\r");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    file.lines = text.split(u'\n');
    if (!file.lines.isEmpty() && file.lines.last().isEmpty())
        file.lines.removeLast();
    return file;
}

QByteArray encode(const TextFile &file)
{
    QString text = file.lines.join(file.newline);
    if (!file.lines.isEmpty())
        text += file.newline;
    if (file.encoding == IniFile::Encoding::Cp1251) {
        if (cp1251()->canEncode(text))
            return cp1251()->fromUnicode(text);
        qWarning("Profile file moved from Windows-1251 to UTF-8 to store characters it lacks");
    }
    QByteArray bytes = text.toUtf8();
    if (file.encoding == IniFile::Encoding::Utf8WithBom)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

std::optional<QString> keyName(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return std::nullopt;
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u'[') || isComment(trimmed))
        return std::nullopt;
    return line.left(eq).trimmed();
}

QString unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value;
}

// One line per value; quoted when the reader would otherwise trim or unquote it.
QString storedValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < value.size() && value.at(i + 1) == u'\n')
                ++i;
            out += u' ';
        } else if (c != u'\0') {
            out += c;
        }
    }
    const bool outerBlanks = out != out.trimmed();
    const bool outerQuotes = out.size() >= 2 && (out.front() == u'"' || out.front() == u'\'') &&
                             out.back() == out.front();
    if (outerBlanks || outerQuotes)
        out = u'"' + out + u'"';
    return out;
}

int findSection(const QStringList &lines, const QString &section)
{
    for (int i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines.at(i));
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int sectionEnd(const QStringList &lines, int header)
{
    int i = header + 1;
    while (i < lines.size() && !sectionName(lines.at(i)))
        ++i;
    return i;
}

} // namespace

ConfigSection ConfigSection::read(const QString &fileName, const QString &section)
{
    ConfigSection result;
    QFile f(ConfigFilePath(fileName));
    if (!f.open(QIODevice::ReadOnly))
        return result;
    result.m_fileExists = true;
    const TextFile file = decode(f.readAll());
    const int header = findSection(file.lines, section);
    if (header < 0)
        return result;
    const int end = sectionEnd(file.lines, header);
    for (int i = header + 1; i < end; ++i) {
        const QString &line = file.lines.at(i);
        const auto key = keyName(line);
        if (!key)
            continue;
        const QString lower = key->toLower();
        if (!result.m_values.contains(lower))
            result.m_values.insert(lower,
                                   unquoted(line.mid(line.indexOf(u'=') + 1)).left(MaxValueLength));
    }
    return result;
}

void WriteConfigSection(const QString &fileName, const QString &section,
                        const ConfigEntries &entries, SectionWrite mode)
{
    const QString path = ConfigFilePath(fileName);
    const QFileInfo info(path);
    TextFile file;
    if (info.exists()) {
        QFile in(path);
        if (!info.isWritable() || !in.open(QIODevice::ReadOnly))
            raiseWriteError(path); // rewriting what could not be read would lose it
        file = decode(in.readAll());
    }

    int header = findSection(file.lines, section);
    if (header < 0) {
        file.lines.append(u'[' + section + u']');
        header = int(file.lines.size()) - 1;
    }
    int end = sectionEnd(file.lines, header);

    QStringList body = file.lines.mid(header + 1, end - header - 1);
    QStringList added;
    if (mode == SectionWrite::ReplaceKeys) {
        body.removeIf([](const QString &line) { return keyName(line).has_value(); });
        for (const auto &[key, value] : entries)
            added.append(key + u'=' + storedValue(value));
    } else {
        QHash<QString, int> where;
        for (int i = 0; i < body.size(); ++i) {
            const auto key = keyName(body.at(i));
            if (key && !where.contains(key->toLower()))
                where.insert(key->toLower(), i);
        }
        for (const auto &[key, value] : entries) {
            const QString line = key + u'=' + storedValue(value);
            const auto found = where.constFind(key.toLower());
            if (found != where.constEnd())
                body[*found] = line;
            else
                added.append(line);
        }
    }
    // New keys go after the section's last non-blank line, before the blank lines that
    // separate it from the next section.
    int insertAt = int(body.size());
    while (insertAt > 0 && body.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    for (int i = 0; i < added.size(); ++i)
        body.insert(insertAt + i, added.at(i));

    QStringList lines = file.lines.mid(0, header + 1);
    lines += body;
    lines += file.lines.mid(end);
    file.lines = lines;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        raiseWriteError(path);
    const QByteArray bytes = encode(file);
    if (out.write(bytes) != bytes.size() || !out.commit())
        raiseWriteError(path);
}
