#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// Whole-section access for the numbered lists (servers.ini, faworits.ini). A list of a
// few hundred or thousand entries is read with one file read and written with one atomic
// rewrite, instead of one file pass per key.
//
// Values read here match GetConfigValue (blanks trimmed, one pair of matching quotes
// removed, at most 2047 characters); values written here read back unchanged, since a value
// with outer blanks or outer quotes is stored inside double quotes.

// The keys of one section (first occurrence wins, as with GetConfigValue).
class ConfigSection
{
public:
    // Reads <ProgramDir>/config/<fileName>; an absent file gives an empty section.
    static ConfigSection read(const QString &fileName, const QString &section);

    bool fileExists() const { return m_fileExists; }
    bool contains(const QString &key) const { return m_values.contains(key.toLower()); }
    // The stored text; empty when the key is absent.
    QString value(const QString &key) const { return m_values.value(key.toLower()); }

private:
    bool m_fileExists = false;
    QHash<QString, QString> m_values; // lower-case key -> value
};

using ConfigEntries = QList<QPair<QString, QString>>;

enum class SectionWrite {
    // Every key line of the section is replaced by the given entries (comments in the
    // section, other sections and everything outside stay as they were).
    ReplaceKeys,
    // The given keys are changed in place or added at the end of the section; other keys
    // stay.
    UpdateKeys,
};

// Writes the entries to the section in one atomic rewrite (temporary file and rename), in
// the encoding the file already has (Windows-1251 files of old installations stay
// Windows-1251 unless a value needs characters it lacks; new files are UTF-8). Raises
// EConfigWriteError when the file cannot be written; the old file is then untouched.
void WriteConfigSection(const QString &fileName, const QString &section,
                        const ConfigEntries &entries, SectionWrite mode);
