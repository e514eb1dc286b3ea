#include "config/ini_file.h"

#include "config/config_files.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

// Windows profile reads hand back at most 2047 characters; callers were written for that.
constexpr qsizetype MaxValueLength = 2047;

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

// A hash key that is equal for exactly the names sameName() finds equal: the comparison
// folds each code point on its own.
QString nameKey(const QString &name)
{
    QList<uint> points = name.toUcs4();
    for (uint &p : points)
        p = QChar::toCaseFolded(char32_t(p));
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData()), points.size());
}

QString storedText(const QString &line)
{
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value.left(MaxValueLength);
}

QString entryLine(const QString &key, const QString &value)
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
    // A reader trims blanks and strips one pair of quotes: protect what it would remove.
    const bool outerBlanks = out != out.trimmed();
    const bool outerQuotes = out.size() >= 2 && (out.front() == u'"' || out.front() == u'\'') &&
                             out.back() == out.front();
    if (outerBlanks || outerQuotes)
        out = u'"' + out + u'"';
    return key.trimmed() + u'=' + out;
}

} // namespace

IniFile IniFile::fromBytes(const QByteArray &bytes)
{
    const ConfigTextFile text = ConfigTextFile::fromBytes(bytes);
    IniFile file;
    file.m_encoding = text.encoding;
    file.m_newline = text.newline;
    file.m_endsWithNewline = text.text.isEmpty() || text.text.endsWith(u'\n');
    file.m_lines = text.text.split(u'\n');
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

IniFile IniFile::loadForUpdate(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return IniFile();
    std::optional<IniFile> file;
    if (info.isWritable())
        file = load(path);
    if (!file)
        throw EConfigWriteError(QStringLiteral("Unable to write to %1").arg(path));
    return *file;
}

namespace {

bool isOneLineName(const QString &name)
{
    return !name.trimmed().isEmpty() && !name.contains(u'\r') && !name.contains(u'\n') &&
           !name.contains(u'\0');
}

} // namespace

bool IniFile::isStorableKey(const QString &key)
{
    const QString t = key.trimmed();
    return isOneLineName(key) && !key.contains(u'=') && !t.startsWith(u'[') && !isComment(t);
}

bool IniFile::isStorableSection(const QString &section)
{
    return isOneLineName(section) && !section.contains(u']');
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

int IniFile::ensureSection(const QString &section)
{
    const int header = findSection(section);
    if (header >= 0)
        return header;
    m_lines.append(u'[' + section.trimmed() + u']');
    return int(m_lines.size()) - 1;
}

void IniFile::insertAtSectionEnd(int headerLine, const QStringList &lines)
{
    // After the section's last non-blank line, before the blank lines that separate it
    // from the next section.
    int at = sectionEnd(headerLine);
    while (at > headerLine + 1 && m_lines.at(at - 1).trimmed().isEmpty())
        --at;
    for (const QString &line : lines)
        m_lines.insert(at++, line);
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const
{
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const auto name = keyName(m_lines.at(i));
        if (name && sameName(*name, wanted))
            return storedText(m_lines.at(i));
    }
    return std::nullopt;
}

QHash<QString, QString> IniFile::sectionValues(const QString &section) const
{
    QHash<QString, QString> values;
    const int header = findSection(section);
    if (header < 0)
        return values;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const auto name = keyName(m_lines.at(i));
        if (name && !values.contains(name->toLower()))
            values.insert(name->toLower(), storedText(m_lines.at(i)));
    }
    return values;
}

QHash<QString, QHash<QString, QString>> IniFile::allValues() const
{
    QHash<QString, QHash<QString, QString>> sections;
    // The section the lines belong to; none before the first header and in a repeated
    // section (the first one of a name wins).
    std::optional<QString> current;
    for (const QString &line : m_lines) {
        if (const auto section = sectionName(line)) {
            const QString name = nameKey(*section);
            current = sections.contains(name) ? std::nullopt : std::optional(name);
            if (current)
                sections.insert(name, {});
            continue;
        }
        const auto key = current ? keyName(line) : std::nullopt;
        if (!key)
            continue;
        QHash<QString, QString> &values = sections[*current];
        if (!values.contains(nameKey(*key)))
            values.insert(nameKey(*key), storedText(line));
    }
    return sections;
}

QString IniFile::lookupName(const QString &name)
{
    return nameKey(name.trimmed());
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    setValues(section, {{key, value}});
}

void IniFile::setValues(const QString &section, const Entries &entries)
{
    const int header = ensureSection(section);
    // Case-folded key -> its first line in the section: the same matching as value() uses.
    QHash<QString, int> where;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const auto name = keyName(m_lines.at(i));
        if (name && !where.contains(nameKey(*name)))
            where.insert(nameKey(*name), i);
    }
    QStringList added;
    for (const auto &[key, value] : entries) {
        const auto found = where.constFind(nameKey(key.trimmed()));
        if (found == where.constEnd()) {
            added.append(entryLine(key, value));
            continue;
        }
        // Keep the spelling the file already uses for the key.
        const QString &line = m_lines.at(*found);
        m_lines[*found] = entryLine(line.left(line.indexOf(u'=')), value);
    }
    insertAtSectionEnd(header, added);
}

void IniFile::replaceKeys(const QString &section, const Entries &entries)
{
    const int header = ensureSection(section);
    const int end = sectionEnd(header);
    for (int i = end - 1; i > header; --i) {
        if (keyName(m_lines.at(i)))
            m_lines.removeAt(i);
    }
    QStringList lines;
    for (const auto &[key, value] : entries)
        lines.append(entryLine(key, value));
    insertAtSectionEnd(header, lines);
}

QByteArray IniFile::toBytes() const
{
    ConfigTextFile file;
    file.encoding = m_encoding;
    file.newline = m_newline;
    QString text = m_lines.join(u'\n');
    if (m_endsWithNewline && !m_lines.isEmpty())
        text += u'\n';
    bool movedToUtf8 = false;
    const QByteArray bytes = file.encode(text, &movedToUtf8);
    // A 1251 file cannot hold every character (a Chinese nick, an emoji in a topic). Rather
    // than store question marks, the file moves to UTF-8, which holds its old text too.
    if (movedToUtf8)
        qWarning("Profile file moved from Windows-1251 to UTF-8 to store characters it lacks");
    return bytes;
}

void IniFile::save(const QString &path) const
{
    QString error;
    if (!WriteFileSafely(path, toBytes(), &error))
        throw EConfigWriteError(QStringLiteral("Unable to write to %1").arg(path));
}
