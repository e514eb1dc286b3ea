#pragma once

#include "base/exception.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

// What a TLS connection checks and presents.
struct TTlsSettings
{
    // The name the certificate must carry (a host name or an IP literal).
    QString HostName;
    // A certificate the user accepted for this server although it could not be verified:
    // its SHA-256 fingerprint as FingerprintText gives it. Empty: only verified ones pass.
    QString AcceptedFingerprint;
    // Client certificate and key (PEM) shown to the server, for SASL EXTERNAL; empty for
    // none. The key may sit in the certificate file.
    QString CertificateFile;
    QString KeyFile;
};

// The server's certificate could not be verified (unknown authority, wrong name, expired)
// and it is not the one the user accepted. message() is the reason as the user hears it;
// Fingerprint() is what to store if the user accepts the certificate anyway.
class ECertificateRefused : public ETalvinError
{
public:
    ECertificateRefused(const QString &reason, const QString &fingerprint)
        : ETalvinError(reason), m_fingerprint(fingerprint)
    {}
    const QString &Fingerprint() const noexcept { return m_fingerprint; }

private:
    QString m_fingerprint;
};

// Any other failure of the TLS layer: "TLS error: <OpenSSL's reason>".
class ETlsError : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// The TLS layer of one connected socket (OpenSSL, the system's certificate store, host
// name verification). It sits under the socket handle: the connection thread, the input
// buffer, the intercept and the traffic log see plain bytes as before. The socket is
// non-blocking; Read and Write never wait and say what they wait for instead.
class TTlsSession
{
public:
    ~TTlsSession();
    TTlsSession(const TTlsSession &) = delete;
    TTlsSession &operator=(const TTlsSession &) = delete;

    // Runs the handshake on the connected socket, waiting in short steps so that cancel
    // can end it. Throws ECertificateRefused, ETlsError, or ESocketError 10004 when
    // cancelled.
    static std::unique_ptr<TTlsSession> Handshake(int fd, const TTlsSettings &settings,
                                                  const std::atomic<bool> &cancel);

    // Bytes, 0 when the peer has closed, kWouldBlock (the events to wait for in waits),
    // or a negative errno (EPROTO for a protocol failure).
    int Read(char *buffer, int size, int wouldBlock, short &waits);
    int Write(const char *data, int size, int wouldBlock, short &waits);
    // Decrypted bytes waiting to be read.
    bool HasPending() const;
    // Sends the closing alert, without waiting for the answer.
    void Close();

    // The peer certificate's SHA-256 fingerprint, "AB:CD:..." as `openssl x509
    // -fingerprint -sha256` prints it.
    const QString &Fingerprint() const { return m_fingerprint; }
    // True when the certificate was verified (not merely accepted by its fingerprint).
    bool Verified() const { return m_verified; }

private:
    TTlsSession() = default;
    struct TState;
    std::unique_ptr<TState> m_state;
    QString m_fingerprint;
    bool m_verified = false;
};
