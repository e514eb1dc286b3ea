// Capability negotiation: the capability lists, and the client's answers to the server's
// CAP lines during registration and after it (cap-notify).
#include "irc/irc_cap.h"

#include "irc/irc_client.h"

namespace {

QByteArrayView capName(QByteArrayView word)
{
    const qsizetype equals = word.indexOf('=');
    return equals >= 0 ? word.first(equals) : word;
}

template <typename F> void forEachWord(QByteArrayView list, F f)
{
    while (!list.isEmpty()) {
        const qsizetype blank = list.indexOf(' ');
        const QByteArrayView word = blank >= 0 ? list.first(blank) : list;
        if (!word.isEmpty())
            f(word);
        list = blank >= 0 ? list.sliced(blank + 1) : QByteArrayView();
    }
}

} // namespace

const QList<QByteArray> &TIrcCaps::Wanted()
{
    static const QList<QByteArray> wanted = {
        "multi-prefix",      "away-notify", "account-notify", "extended-join", "chghost",
        "userhost-in-names", "server-time", "message-tags",   "cap-notify",    "sasl"};
    return wanted;
}

void TIrcCaps::Start()
{
    m_negotiating = true;
    m_offered.clear();
    m_enabled.clear();
}

void TIrcCaps::AddOffered(QByteArrayView list)
{
    forEachWord(list, [this](QByteArrayView word) {
        Remove(capName(word));
        m_offered.append(word.toByteArray());
    });
}

void TIrcCaps::Remove(QByteArrayView list)
{
    forEachWord(list, [this](QByteArrayView word) {
        const QByteArrayView name = capName(word);
        m_offered.removeIf([&](const QByteArray &offered) { return capName(offered) == name; });
        m_enabled.removeAll(name);
    });
}

void TIrcCaps::Acknowledge(QByteArrayView list)
{
    forEachWord(list, [this](QByteArrayView word) {
        if (word.startsWith('-'))
            m_enabled.removeAll(word.sliced(1));
        else if (!m_enabled.contains(capName(word)))
            m_enabled.append(capName(word).toByteArray());
    });
}

QList<QByteArray> TIrcCaps::ToRequest(bool withSasl) const
{
    QList<QByteArray> request;
    for (const QByteArray &name : Wanted()) {
        if ((name == "sasl" && !withSasl) || m_enabled.contains(name))
            continue;
        for (const QByteArray &offered : m_offered)
            if (capName(offered) == name)
                request.append(name);
    }
    return request;
}

bool TIrcCaps::OffersSasl(QByteArrayView mechanism) const
{
    // "sasl" alone (version 301) lists no mechanisms: any may be tried.
    for (const QByteArray &offered : m_offered)
        if (capName(offered) == "sasl")
            return offered == "sasl" || offered.mid(5).split(',').contains(mechanism);
    return false;
}

QByteArray TIrcCaps::OfferedValue(QByteArrayView name) const
{
    for (const QByteArray &offered : m_offered)
        if (capName(offered) == name)
            return offered.mid(name.size() + 1);
    return QByteArray();
}

void TIrcClient::onCap(TIrcUser * /*user*/)
{
    // ":server CAP <nick> <subcommand> [*] :<list>"; a "*" before the list means more
    // lines of the same reply follow.
    const QByteArray &sub = tok(3);
    const bool more = tok(4) == "*" && !tok(5).isEmpty();
    const QByteArray &list = more ? tok(5) : tok(4);
    if (sub == "LS" || sub == "NEW") {
        m_caps.AddOffered(list);
        if (more)
            return;
        const bool registering = m_caps.Negotiating();
        bool sasl = registering && Sasl.Wanted();
        if (sasl && !m_caps.OffersSasl(Sasl.Mechanism)) {
            sasl = false;
            if (OnSaslFailed)
                OnSaslFailed(this, QByteArray(),
                             "The server does not offer SASL " + Sasl.Mechanism);
        }
        const QList<QByteArray> request = m_caps.ToRequest(sasl);
        if (!request.isEmpty())
            Raw("CAP REQ :" + request.join(' '));
        else if (registering)
            endCapNegotiation();
    } else if (sub == "ACK") {
        m_caps.Acknowledge(list);
        if (more || !m_caps.Negotiating())
            return;
        if (m_caps.IsEnabled("sasl") && Sasl.Wanted())
            startSasl();
        else
            endCapNegotiation();
    } else if (sub == "NAK") {
        if (m_caps.Negotiating())
            endCapNegotiation();
    } else if (sub == "DEL") {
        m_caps.Remove(list);
    }
}

void TIrcClient::endCapNegotiation()
{
    if (!m_caps.Negotiating())
        return;
    m_caps.Finish();
    Raw("CAP END");
}
