#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// One profile (INI) file as it lies on disk: its lines, the encoding and the line ending it
// had, so that a write changes only the line it must and keeps everything else byte for
// byte. Section and key names match without regard to case (Cyrillic too).
class IniFile
{
public:
    enum class Encoding { Utf8, Utf8WithBom, Cp1251 };

    // A file is UTF-8 when its bytes are valid UTF-8, otherwise Windows-1251 (files of old
    // installations). Lines may end in CR LF, LF or CR.
    static IniFile fromBytes(const QByteArray &bytes);
    // Reads the file; an absent or unreadable file gives nothing.
    static std::optional<IniFile> load(const QString &path);

    // The value as stored, blanks around it removed and one pair of matching quotes
    // stripped; nothing when the section or key is absent.
    std::optional<QString> value(const QString &section, const QString &key) const;
    // Replaces the first matching key of the first matching section, or adds the key at the
    // end of that section, or adds the section at the end of the file.
    void setValue(const QString &section, const QString &key, const QString &value);

    Encoding encoding() const { return m_encoding; }
    QByteArray toBytes() const;

private:
    int findSection(const QString &section) const; // index of the header line, or -1
    int sectionEnd(int headerLine) const;          // one past its last line

    QStringList m_lines;
    QString m_newline = QStringLiteral("\n");
    bool m_endsWithNewline = true;
    Encoding m_encoding = Encoding::Utf8;
};
