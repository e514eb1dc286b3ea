// SASL identification during capability negotiation: the AUTHENTICATE exchange and the
// replies 900 to 908. A failure is reported and registration goes on without it.
#include "irc/irc_sasl.h"

#include "irc/irc_client.h"

QList<QByteArray> SaslResponseLines(const QByteArray &response)
{
    constexpr qsizetype piece = 400;
    const QByteArray encoded = response.toBase64();
    QList<QByteArray> lines;
    for (qsizetype at = 0; at < encoded.size(); at += piece)
        lines.append("AUTHENTICATE " + encoded.mid(at, piece));
    if (encoded.size() % piece == 0)
        lines.append("AUTHENTICATE +");
    return lines;
}

QByteArray SaslPlainResponse(const QByteArray &account, const QByteArray &password)
{
    return account + '\0' + account + '\0' + password;
}

void TIrcClient::startSasl()
{
    m_saslRunning = true;
    Raw("AUTHENTICATE " + Sasl.Mechanism);
}

void TIrcClient::onAuthenticate(TIrcUser * /*user*/)
{
    if (!m_saslRunning || tok(2) != "+")
        return;
    const QByteArray response = Sasl.Mechanism == "PLAIN"
                                    ? SaslPlainResponse(Sasl.Account, Sasl.Password)
                                    : QByteArray(); // EXTERNAL: the certificate speaks
    for (const QByteArray &line : SaslResponseLines(response))
        Raw(line);
}

void TIrcClient::saslFailed(const QByteArray &numeric, const QByteArray &text)
{
    m_saslRunning = false;
    if (OnSaslFailed)
        OnSaslFailed(this, numeric, text);
    endCapNegotiation();
}

bool TIrcClient::saslNumeric(int code, TIrcUser *user)
{
    // The reply's text is its last parameter: "<nick> [<mask> <account>] :<text>".
    const QByteArray &text = tok(std::max(2, m_parse.Filled - 1));
    switch (code) {
    case 900: // logged in
    case 901: // logged out
        raiseSystem(user, code, "SASL", text);
        return true;
    case 903: // success
        m_saslRunning = false;
        raiseSystem(user, code, "SASL", text);
        endCapNegotiation();
        return true;
    case 902: // nick locked
    case 904: // failed
    case 905: // too long
    case 906: // aborted
        if (m_saslRunning || m_caps.Negotiating())
            saslFailed(m_parse.CommandWord, text);
        return true;
    case 907: // already identified
        m_saslRunning = false;
        endCapNegotiation();
        return true;
    case 908: // the mechanisms the server offers; a 904 follows
        return true;
    default:
        return false;
    }
}
