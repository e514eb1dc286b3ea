#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A configuration file handled as a whole text, as the configuration editor shows it: the
// text with "\n" line ends, and how the file stored it (encoding, line ending), so that a
// save writes the edited text back the way the file was written.
struct ConfigTextFile
{
    enum class Encoding { Utf8, Utf8WithBom, Cp1251 };

    QString text;
    Encoding encoding = Encoding::Utf8;
    QString newline = QStringLiteral("\n");
    QByteArray bytes; // the file as read

    // UTF-8 when the bytes are valid UTF-8 (a byte-order mark is kept), else Windows-1251,
    // the code page of older installations. CR LF, LF and CR line ends all become "\n".
    static ConfigTextFile fromBytes(const QByteArray &bytes);
    // The file read whole; nothing when it cannot be read, with the reason in *error. A
    // missing file is no error: it reads as an empty text (missing = true).
    static std::optional<ConfigTextFile> read(const QString &path, QString *error,
                                              bool *missing = nullptr);

    // The text in this file's encoding and line ending. A Windows-1251 file that cannot hold
    // a character of the text is written as UTF-8 instead (every reader of the program
    // accepts both); *movedToUtf8 says so.
    QByteArray encode(const QString &newText, bool *movedToUtf8 = nullptr) const;
};

// The one encoding detection for every text file the program reads (configuration, speech
// rules, help): a byte-order mark is dropped, then the bytes are UTF-8 when they are valid
// UTF-8 and Windows-1251 otherwise. Line ends are left as they are.
QString DecodeTextFile(const QByteArray &bytes, ConfigTextFile::Encoding *encoding = nullptr);

// Replaces the file with the bytes through a temporary file and a rename, so that a failed
// write (full disk, size limit, no permission) leaves the old file whole. False with the
// reason in *error.
bool WriteFileSafely(const QString &path, const QByteArray &bytes, QString *error);
