#include "config/config_text_file.h"

#include "config/secret_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTextCodec>

namespace {

QTextCodec *cp1251()
{
    return QTextCodec::codecForName("windows-1251");
}

} // namespace

QString DecodeTextFile(const QByteArray &bytes, ConfigTextFile::Encoding *encoding)
{
    using Encoding = ConfigTextFile::Encoding;
    QByteArrayView body = bytes;
    Encoding found = Encoding::Utf8;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body = body.sliced(3);
        found = Encoding::Utf8WithBom;
    }
    // Stateless: an incomplete sequence at the very end counts as an error too, so a 1251
    // file whose only non-ASCII byte is its last one is not taken for UTF-8.
    auto utf8 = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(body);
    if (utf8.hasError()) {
        found = Encoding::Cp1251;
        text = cp1251()->toUnicode(body.constData(), int(body.size()));
    }
    if (encoding)
        *encoding = found;
    return text;
}

ConfigTextFile ConfigTextFile::fromBytes(const QByteArray &bytes)
{
    ConfigTextFile file;
    file.bytes = bytes;
    QString text = DecodeTextFile(bytes, &file.encoding);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\n')
            break;
        if (text.at(i) == u'\r') {
            const bool crlf = i + 1 < text.size() && text.at(i + 1) == u'\n';
            file.newline = crlf ? QStringLiteral("\r\n") : QStringLiteral("\r");
            break;
        }
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    file.text = text;
    return file;
}

std::optional<ConfigTextFile> ConfigTextFile::read(const QString &path, QString *error,
                                                   bool *missing)
{
    if (missing)
        *missing = false;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (missing)
            *missing = true;
        return ConfigTextFile();
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = info.isDir() ? QStringLiteral("is a directory") : file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return fromBytes(bytes);
}

QByteArray ConfigTextFile::encode(const QString &newText, bool *movedToUtf8) const
{
    if (movedToUtf8)
        *movedToUtf8 = false;
    QString text = newText;
    if (newline != QStringLiteral("\n"))
        text.replace(u'\n', newline);
    switch (encoding) {
    case Encoding::Cp1251:
        if (cp1251()->canEncode(text)) {
            // Replacing the one byte that made the file invalid UTF-8 can leave bytes that
            // are valid UTF-8, and the next read would give every other value another
            // meaning: such a text is stored as UTF-8, which reads back as written.
            const QByteArray bytes = cp1251()->fromUnicode(text);
            if (DecodeTextFile(bytes) == text)
                return bytes;
        }
        if (movedToUtf8)
            *movedToUtf8 = true;
        return text.toUtf8();
    case Encoding::Utf8WithBom:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Encoding::Utf8:
        break;
    }
    // A text that itself starts with a byte-order mark keeps it behind a mark of the file's.
    if (text.startsWith(QChar(0xFEFF)))
        return "\xEF\xBB\xBF" + text.toUtf8();
    return text.toUtf8();
}

bool WriteFileSafely(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = out.errorString();
        return false;
    }
    // The temporary file is narrowed before anything is in it, and so before the rename.
    if (WrittenOwnerOnly(path, bytes) && !MakeOwnerOnly(out.handle())) {
        if (error)
            *error = QStringLiteral("cannot make the file private");
        out.cancelWriting();
        return false;
    }
    if (out.write(bytes) != bytes.size()) {
        if (error)
            *error = out.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}
