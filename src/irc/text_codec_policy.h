#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How one connection's bytes become text and back. Every window asks this object (through
// DecodeEngineText and EncodeEngineText); nothing else chooses a codec for server text.
//
// Inside the program a received line is either UTF-8 or Windows-1251: a line from a KOI8-R
// source is rewritten to 1251 on arrival, as it always was. Which of the two a piece of
// text is follows from the bytes alone:
// - valid UTF-8 that holds at least one multi-byte sequence is UTF-8, whatever the
//   server's page (a UTF-8 user on a legacy server reads right);
// - anything else is 1251 (a legacy user on a UTF-8 server reads right too).
// Real 1251 text is almost never valid UTF-8: every Cyrillic letter is a byte from 0xC0 up,
// which UTF-8 allows only as the first byte of a sequence, so two letters in a row already
// make a line invalid. A 1251 line is taken for UTF-8 only when each of its letters is
// followed by a byte from 0x80 to 0xBF (punctuation such as "«", "№", "ё"), the pattern
// of text that was UTF-8 to begin with and was shown in the wrong page; reading it as
// UTF-8 is then the better guess.
class TTextCodecPolicy
{
public:
    // The server's code page: "WIN1251", "KOI8", "OEM" or "UTF8"; any other text is taken
    // as "WIN1251".
    QString CodePage() const { return m_codePage; }
    void SetCodePage(const QString &codePage);
    bool IsUtf8() const;

    // A received line before it is parsed: on the KOI8 page a line that is not UTF-8 is
    // rewritten to 1251 in place.
    void ReceiveLine(QByteArray &line) const;
    // A line on its way to the server: engine text in 1251 becomes KOI8-R on a KOI8 server;
    // UTF-8 text and every other page pass unchanged.
    QByteArray SendLine(const QByteArray &line) const;

    // Engine text for the windows, decided piece by piece as above.
    QString Decode(QByteArrayView bytes) const;
    // Text the user typed, in the bytes the engine sends: UTF-8 on a UTF-8 server, else 1251
    // (characters 1251 lacks become "?").
    QByteArray Encode(const QString &text) const;

private:
    QString m_codePage = QStringLiteral("WIN1251");
};

// The policy of the live connection; windows reach it through the two functions below. A
// program without a connection window (tools, tests of single windows) gets a default
// Windows-1251 policy.
TTextCodecPolicy &ActiveTextCodec();
// The connection's owner registers its policy; nullptr goes back to the default.
void SetActiveTextCodec(TTextCodecPolicy *policy);

QString DecodeEngineText(QByteArrayView bytes);
QByteArray EncodeEngineText(const QString &text);
