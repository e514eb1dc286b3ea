#include "irc/text_codec_policy.h"

#include "app/codepage.h"
#include "irc/utf8_text.h"

namespace {

QString knownPage(const QString &codePage)
{
    for (const QString &page : {CodePageKoi8, CodePageOem, CodePageUtf8})
        if (codePage.compare(page, Qt::CaseInsensitive) == 0)
            return page;
    return CodePageWin1251;
}

TTextCodecPolicy *g_active = nullptr;

} // namespace

void TTextCodecPolicy::SetCodePage(const QString &codePage)
{
    m_codePage = knownPage(codePage);
}

bool TTextCodecPolicy::IsUtf8() const
{
    return m_codePage == CodePageUtf8;
}

void TTextCodecPolicy::ReceiveLine(QByteArray &line) const
{
    if (m_codePage == CodePageKoi8 && !IsMultiByteUtf8(line))
        ConvertKoi8LineToCp1251(line);
}

QByteArray TTextCodecPolicy::SendLine(const QByteArray &line) const
{
    if (m_codePage == CodePageKoi8 && !IsMultiByteUtf8(line))
        return ConvertCp1251ToKoi8(line);
    return line;
}

QString TTextCodecPolicy::Decode(QByteArrayView bytes) const
{
    if (IsMultiByteUtf8(bytes))
        return QString::fromUtf8(bytes);
    return DecodeText(bytes.toByteArray(), TextEncoding::Cp1251);
}

QByteArray TTextCodecPolicy::Encode(const QString &text) const
{
    return IsUtf8() ? text.toUtf8() : EncodeText(text, TextEncoding::Cp1251);
}

TTextCodecPolicy &ActiveTextCodec()
{
    static TTextCodecPolicy fallback;
    return g_active ? *g_active : fallback;
}

void SetActiveTextCodec(TTextCodecPolicy *policy)
{
    g_active = policy;
}

QString DecodeEngineText(QByteArrayView bytes)
{
    return ActiveTextCodec().Decode(bytes);
}

QByteArray EncodeEngineText(const QString &text)
{
    return ActiveTextCodec().Encode(text);
}
