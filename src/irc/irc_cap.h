#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// IRCv3 capability negotiation: which capabilities the client asks for, what the server
// offers and what it granted. Registration opens with "CAP LS 302" and the server holds
// the registration until "CAP END"; a server that does not know CAP answers 421 and
// registers the client on its NICK and USER lines as it always did.
class TIrcCaps
{
public:
    // The capabilities the client understands, in the order it asks for them.
    static const QList<QByteArray> &Wanted();

    // A new registration: nothing offered or granted yet, negotiation open.
    void Start();
    // Negotiation is over (CAP END sent, or the server does not know CAP).
    void Finish() { m_negotiating = false; }
    bool Negotiating() const { return m_negotiating; }

    // One "CAP LS" or "CAP NEW" list ("name" or "name=value" words).
    void AddOffered(QByteArrayView list);
    // "CAP DEL": the capabilities are gone, offered and granted alike.
    void Remove(QByteArrayView list);
    // "CAP ACK": granted ("-name" takes one back).
    void Acknowledge(QByteArrayView list);

    // The wanted capabilities offered and not yet granted; "sasl" only when asked for.
    QList<QByteArray> ToRequest(bool withSasl) const;
    bool IsEnabled(QByteArrayView name) const { return m_enabled.contains(name); }
    // Whether "sasl" is offered with this mechanism (or with no list of mechanisms).
    bool OffersSasl(QByteArrayView mechanism) const;
    // The value the server gave with an offered capability ("sasl=PLAIN,EXTERNAL").
    QByteArray OfferedValue(QByteArrayView name) const;
    const QList<QByteArray> &Enabled() const { return m_enabled; }

private:
    bool m_negotiating = false;
    QList<QByteArray> m_offered; // "name" or "name=value"
    QList<QByteArray> m_enabled;
};
