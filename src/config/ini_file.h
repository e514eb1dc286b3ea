#pragma once

#include "config/config_text_file.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// One profile (INI) file as it lies on disk: its lines, the encoding and the line ending it
// had, so that a write changes only the lines it must and keeps everything else byte for
// byte. Section and key names match without regard to case (Cyrillic too); the first
// matching section and key win, as with the platform's profile functions.
class IniFile
{
public:
    using Entries = QList<QPair<QString, QString>>;

    // A file is UTF-8 when its bytes are valid UTF-8, otherwise Windows-1251 (files of old
    // installations). Lines may end in CR LF, LF or CR.
    static IniFile fromBytes(const QByteArray &bytes);
    // Reads the file; an absent or unreadable file gives nothing.
    static std::optional<IniFile> load(const QString &path);
    // Reads a file about to be changed: an absent file gives an empty one; a file that is
    // present but cannot be read or written raises EConfigWriteError "Unable to write to
    // <path>", since rewriting it would lose what it holds.
    static IniFile loadForUpdate(const QString &path);

    // The value as stored, blanks around it removed and one pair of matching quotes
    // stripped; nothing when the section or key is absent.
    std::optional<QString> value(const QString &section, const QString &key) const;
    // Every key of the section by its lower-case name, values as value() gives them.
    QHash<QString, QString> sectionValues(const QString &section) const;
    // Every section and key at once, for repeated look-ups: section -> key -> value, both
    // names as lookupName() gives them, so that a look-up finds exactly what value() finds.
    QHash<QString, QHash<QString, QString>> allValues() const;
    static QString lookupName(const QString &name);

    // Values are stored so that they read back unchanged: on one line (line breaks become
    // blanks, NUL characters are dropped) and inside double quotes when they have blanks
    // or quotes at their ends.
    //
    // Replaces the first matching key of the first matching section, or adds the key at the
    // end of that section, or adds the section at the end of the file.
    void setValue(const QString &section, const QString &key, const QString &value);
    // The same for many keys in one pass.
    void setValues(const QString &section, const Entries &entries);
    // Drops every key of the section and writes the entries in their place; comments in
    // the section, other sections and everything outside stay.
    void replaceKeys(const QString &section, const Entries &entries);

    // Whether a key or section of that name can be written and found again: not blank, on
    // one line; a key holds no "=" and does not begin with "[", ";" or "#" (it would read
    // as a section header or a comment), a section name holds no "]".
    static bool isStorableKey(const QString &key);
    static bool isStorableSection(const QString &section);

    ConfigTextFile::Encoding encoding() const { return m_encoding; }
    QByteArray toBytes() const;
    // Replaces the file at path whole (temporary file and rename). Raises
    // EConfigWriteError "Unable to write to <path>" when it cannot; the old file is then
    // untouched.
    void save(const QString &path) const;

private:
    int findSection(const QString &section) const; // index of the header line, or -1
    int sectionEnd(int headerLine) const;          // one past its last line
    int ensureSection(const QString &section);     // header line, added when missing
    void insertAtSectionEnd(int headerLine, const QStringList &lines);

    QStringList m_lines;
    QString m_newline = QStringLiteral("\n");
    bool m_endsWithNewline = true;
    ConfigTextFile::Encoding m_encoding = ConfigTextFile::Encoding::Utf8;
};
