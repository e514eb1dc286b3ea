// The INI reader and writer round trip. An arbitrary file gets one key written; read back,
// that key gives the value written (as a stored value reads: on one line, at most 2047
// characters) and every other key gives what it gave before. A name that could not be
// read back must be refused. The whole-text editor's encode and decode round trip too.
#include "fuzz_input.h"

#include "config/config_text_file.h"
#include "config/ini_file.h"

#include <QSet>

namespace {

struct Entry
{
    QString section;
    QString key;
};

// Every section and key the file names, found the way a reader looks at the lines.
QList<Entry> entriesOf(const IniFile &file)
{
    QList<Entry> entries;
    QString section;
    const QString text = ConfigTextFile::fromBytes(file.toBytes()).text;
    for (const QString &line : text.split(u'\n')) {
        const QString t = line.trimmed();
        if (t.startsWith(u'[') && t.contains(u']'))
            section = t.mid(1, t.indexOf(u']') - 1).trimmed();
        else if (line.indexOf(u'=') > 0 && !t.startsWith(u';') && !t.startsWith(u'#'))
            entries.append({section, line.left(line.indexOf(u'=')).trimmed()});
    }
    return entries;
}

QString asStored(const QString &value)
{
    QString out = value;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    out.replace(u'\r', u' ').replace(u'\n', u' ');
    out.remove(QChar(0));
    return out.left(2047);
}

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const QString section = QString::fromUtf8(input.piece(12));
    const QString key = QString::fromUtf8(input.piece(12));
    const QString value = QString::fromUtf8(input.piece(40));
    const QByteArray bytes = input.rest();

    const IniFile before = IniFile::fromBytes(bytes);
    IniFile after = IniFile::fromBytes(bytes);
    const bool storable = IniFile::isStorableSection(section) && IniFile::isStorableKey(key);
    if (storable)
        after.setValue(section, key, value);
    after = IniFile::fromBytes(after.toBytes());

    if (storable) {
        const std::optional<QString> read = after.value(section, key);
        FUZZ_CHECK(read && *read == asStored(value));
    }
    for (const Entry &e : entriesOf(before)) {
        if (storable && same(e.section.trimmed(), section.trimmed()) && same(e.key, key.trimmed()))
            continue;
        FUZZ_CHECK(before.value(e.section, e.key) == after.value(e.section, e.key));
    }

    // The editor's whole-text round trip in the file's own encoding.
    const ConfigTextFile text = ConfigTextFile::fromBytes(bytes);
    FUZZ_CHECK(ConfigTextFile::fromBytes(text.encode(text.text)).text == text.text);
    return 0;
}
