#pragma once

#include <QByteArray>
#include <QList>

// How the client identifies itself with SASL while registering: PLAIN with an account
// and a password, or EXTERNAL with the client certificate the TLS connection presented.
// An empty mechanism (or PLAIN without an account) means no SASL.
struct TIrcSaslSettings
{
    QByteArray Mechanism; // "PLAIN", "EXTERNAL" or empty
    QByteArray Account;
    QByteArray Password;

    bool Wanted() const
    {
        return Mechanism == "EXTERNAL" || (Mechanism == "PLAIN" && !Account.isEmpty());
    }
};

// The AUTHENTICATE lines that carry a response: base64 in pieces of 400 characters, and
// "AUTHENTICATE +" after a last piece of exactly 400 (or for an empty response).
QList<QByteArray> SaslResponseLines(const QByteArray &response);
// The PLAIN response: account, NUL, account, NUL, password.
QByteArray SaslPlainResponse(const QByteArray &account, const QByteArray &password);
