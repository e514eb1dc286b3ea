// CTCP queries and replies inside PRIVMSG and NOTICE, the automatic answers, and DCC offers.
#include "irc/irc_client.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>

#include <cstring>

namespace {

bool is(QByteArrayView word, const char *name)
{
    return word == QByteArrayView(name, qsizetype(std::strlen(name)));
}

// An echoed argument must stay one line: a CR, LF or NUL in it would cut the answer into
// two broken NOTICEs.
QByteArray oneLine(QByteArray text)
{
    text.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

} // namespace

// The short date and long time of the user's locale, without the time zone name the long
// format adds, as bytes of the program's code page.
QByteArray TIrcClient::localTimeText() const
{
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    const QString text = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         locale.toString(now.time(), timeFormat.trimmed());
    return EncodeLocalText ? EncodeLocalText(text) : text.toLocal8Bit();
}

void TIrcClient::autoAnswer(const QByteArray &word, const QByteArray &reply)
{
    // Answers are limited so that a flood of queries cannot get us thrown off the server
    // for excess flood; the queries themselves are still reported.
    if (m_ctcpLimiter.TryTake()) {
        // Automatic answers wait behind the user's own lines.
        ++m_automaticDepth;
        struct TLeave
        {
            int &depth;
            ~TLeave() { --depth; }
        } leave{m_automaticDepth};
        CTCPReply(m_parse.SenderNick, word, reply);
    }
}

void TIrcClient::ctcpQuery(TIrcUser * /*lineUser*/)
{
    const Ctcp::TSplit split = Ctcp::Split(tok(3));
    const QByteArray word = split.Word.toByteArray();
    const QByteArray args = split.Args.toByteArray();

    if (is(split.Word, "DCC")) {
        dccOffer(split.Args);
        return;
    }

    TIrcUser *user = m_users.Add(m_parse.SenderNick, m_parse.SenderAddress);
    const quint64 generation = m_users.Generation();
    auto release = qScopeGuard([&] {
        if (m_users.Generation() == generation)
            m_users.Remove(user);
    });
    TIrcChannel *channel = messageChannel();

    if (is(split.Word, "ACTION")) {
        if (OnAction)
            OnAction(this, user, channel, args);
        return;
    }

    bool suppress = false;
    if (OnCTCPQuery)
        OnCTCPQuery(this, user, channel, word, args, suppress);
    if (suppress)
        return;

    if (is(split.Word, "PING"))
        autoAnswer(word, oneLine(args));
    else if (is(split.Word, "FINGER"))
        autoAnswer(word, Replies.Finger);
    else if (is(split.Word, "USERINFO"))
        autoAnswer(word, Replies.UserInfo);
    else if (is(split.Word, "VERSION"))
        autoAnswer(word, Replies.Version);
    else if (is(split.Word, "CLIENTINFO"))
        autoAnswer(word, Replies.ClientInfo);
    else if (is(split.Word, "TIME"))
        autoAnswer(word, "Local time is " + localTimeText());
    // SOUND, ERROR and unknown words are reported only.
}

void TIrcClient::ctcpReply(TIrcUser * /*lineUser*/)
{
    const Ctcp::TSplit split = Ctcp::Split(tok(3));
    if (is(split.Word, "DCC"))
        return;
    TIrcUser *user = m_users.Add(m_parse.SenderNick, m_parse.SenderAddress);
    const quint64 generation = m_users.Generation();
    auto release = qScopeGuard([&] {
        if (m_users.Generation() == generation)
            m_users.Remove(user);
    });
    if (OnCTCPReply)
        OnCTCPReply(this, user, messageChannel(), split.Word.toByteArray(),
                    split.Args.toByteArray());
}

void TIrcClient::dccOffer(QByteArrayView args)
{
    const std::vector<QByteArrayView> items = Ctcp::DccItems(args);
    auto item = [&](std::size_t i) { return Ctcp::DccItem(items, i); };
    const QByteArrayView kind = items.empty() ? QByteArrayView() : items[0];
    const QByteArray &nick = m_parse.SenderNick;
    if (is(kind, "SEND")) {
        if (OnDCCSend)
            OnDCCSend(this, nick, item(2), item(3), item(1), item(4));
    } else if (is(kind, "CHAT")) {
        if (OnDCCChat)
            OnDCCChat(this, nick, item(2), item(3));
    } else if (is(kind, "RESUME")) {
        if (OnDCCResume)
            OnDCCResume(this, nick, item(2), item(1), item(3));
    } else if (is(kind, "ACCEPT")) {
        if (OnDCCAccept)
            OnDCCAccept(this, nick, item(2), item(1), item(3));
    }
}
