#include "config/ini_file.h"

#include <QDebug>
#include <QFile>
#include <QStringDecoder>
#include <QTextCodec>

namespace {

QTextCodec *cp1251()
{
    return QTextCodec::codecForName("windows-1251");
}

bool isComment(const QString &trimmed)
{
    return trimmed.startsWith(u';') || trimmed.startsWith(u'#');
}

// "[name]" -> name; anything else -> nothing.
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

// "key = value" -> key; nothing for lines that hold no key.
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

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
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

} // namespace

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    IniFile file;
    QByteArray body = bytes;
    QString text;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
        file.m_encoding = Encoding::Utf8WithBom;
    }
    auto utf8 = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8(body);
    if (utf8.hasError()) {
        file.m_encoding = Encoding::Cp1251;
        text = cp1251()->toUnicode(body);
    }

    // A write keeps the line ending the file already uses.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n')
            break;
        if (text.at(i) == u'\r') {
            const bool crlf = i + 1 < text.size() && text.at(i + 1) == u'\n';
            file.m_newline = crlf ? QStringLiteral("\r\n") : QStringLiteral("\r");
            break;
        }
    }
    file.m_endsWithNewline = text.isEmpty() || text.endsWith(u'\n') || text.endsWith(u'\r');
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    file.m_lines = text.split(u'\n');
    if (file.m_endsWithNewline)
        file.m_lines.removeLast(); // the empty piece after the final line break
    return file;
}

std::optional<IniFile> IniFile::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromBytes(f.readAll());
}

int IniFile::findSection(const QString &section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines.at(i));
        if (name && sameName(*name, wanted))
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int headerLine) const
{
    int i = headerLine + 1;
    while (i < m_lines.size() && !sectionName(m_lines.at(i)))
        ++i;
    return i;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const QString &line = m_lines.at(i);
        const auto name = keyName(line);
        if (name && sameName(*name, wanted))
            return unquoted(line.mid(line.indexOf(u'=') + 1));
    }
    return std::nullopt;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString entry = key.trimmed() + u'=' + value;
    // A 1251 file cannot hold every character (a Chinese nick, an emoji in a topic). Rather
    // than store question marks, the file moves to UTF-8, which holds its old text too.
    if (m_encoding == Encoding::Cp1251 && !cp1251()->canEncode(section + entry)) {
        qWarning("Profile file moved from Windows-1251 to UTF-8 to store \"%s\"",
                 qUtf8Printable(key));
        m_encoding = Encoding::Utf8;
    }
    int header = findSection(section);
    if (header < 0) {
        m_lines.append(u'[' + section.trimmed() + u']');
        m_lines.append(entry);
        return;
    }
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    int lastEntry = header;
    for (int i = header + 1; i < end; ++i) {
        const QString &line = m_lines.at(i);
        const auto name = keyName(line);
        if (name && sameName(*name, wanted)) {
            // Keep the spelling the file already uses for the key.
            m_lines[i] = line.left(line.indexOf(u'=')).trimmed() + u'=' + value;
            return;
        }
        if (!line.trimmed().isEmpty())
            lastEntry = i;
    }
    // New keys go after the section's last entry, before any blank lines that separate it
    // from the next section.
    m_lines.insert(lastEntry + 1, entry);
}

QByteArray IniFile::toBytes() const
{
    QString text = m_lines.join(m_newline);
    if (m_endsWithNewline && !m_lines.isEmpty())
        text += m_newline;
    switch (m_encoding) {
    case Encoding::Cp1251:
        return cp1251()->fromUnicode(text);
    case Encoding::Utf8WithBom:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
}
