#include "irc/tls_session.h"

#include "irc/socket_error.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <mutex>
#include <poll.h>

namespace {

// Handshake waits are cut into steps this long so a cancel is seen soon.
constexpr int kHandshakeStepMs = 125;

QString OpenSslReason()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("connection closed during the handshake");
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

[[noreturn]] void Fail(const QString &reason)
{
    throw ETlsError(QStringLiteral("TLS error: ") + reason);
}

bool IsIpLiteral(const QString &host)
{
    unsigned char address[16];
    const QByteArray bytes = host.toLatin1();
    return inet_pton(AF_INET, bytes.constData(), address) == 1 ||
           inet_pton(AF_INET6, bytes.constData(), address) == 1;
}

QString FingerprintOf(X509 *certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(certificate, EVP_sha256(), digest, &length))
        return QString();
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex(':').toUpper());
}

// Fingerprints compare without regard to case or separators, as users may paste them.
QString NormalisedFingerprint(const QString &text)
{
    QString result;
    for (const QChar c : text)
        if (c.isLetterOrNumber())
            result += c.toUpper();
    return result;
}

// What an SSL call that did not complete asks for: kWouldBlock with the events to wait
// for, 0 for an orderly close, or a negative errno.
int Outcome(SSL *ssl, int result, int wouldBlock, short &waits)
{
    switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
        waits = POLLIN;
        return wouldBlock;
    case SSL_ERROR_WANT_WRITE:
        waits = POLLOUT;
        return wouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        // A peer that drops the link without the closing alert counts as a close.
        ERR_clear_error();
        return errno && errno != EAGAIN ? -errno : 0;
    default:
        ERR_clear_error();
        return -EPROTO;
    }
}

} // namespace

struct TTlsSession::TState
{
    SSL_CTX *context = nullptr;
    SSL *ssl = nullptr;
    ~TState()
    {
        if (ssl)
            SSL_free(ssl);
        if (context)
            SSL_CTX_free(context);
    }
};

TTlsSession::~TTlsSession() = default;

std::unique_ptr<TTlsSession> TTlsSession::Handshake(int fd, const TTlsSettings &settings,
                                                    const std::atomic<bool> &cancel)
{
    // OpenSSL writes with write(2), which raises SIGPIPE on a link the peer has closed;
    // the connection reports such a failure itself instead of the program dying.
    static std::once_flag ignorePipe;
    std::call_once(ignorePipe, [] {
        std::signal(SIGPIPE, SIG_IGN);
        // A connection attempt runs on a detached thread and may still be loading the
        // certificate store when the program ends; OpenSSL's own clean-up at exit would free
        // its tables under that thread. The system reclaims them at exit anyway.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    });

    std::unique_ptr<TTlsSession> session(new TTlsSession);
    session->m_state = std::make_unique<TState>();
    TState &state = *session->m_state;
    ERR_clear_error();
    state.context = SSL_CTX_new(TLS_client_method());
    if (!state.context)
        Fail(OpenSslReason());
    SSL_CTX_set_min_proto_version(state.context, TLS1_2_VERSION);
    // The system's certificate store (SSL_CERT_FILE and SSL_CERT_DIR are honoured).
    SSL_CTX_set_default_verify_paths(state.context);
    // The handshake always completes; the verification result is judged below, where an
    // accepted fingerprint can still let the certificate pass.
    SSL_CTX_set_verify(state.context, SSL_VERIFY_NONE, nullptr);
    if (!settings.CertificateFile.isEmpty()) {
        const QByteArray certificate = settings.CertificateFile.toLocal8Bit();
        const QByteArray key =
            settings.KeyFile.isEmpty() ? certificate : settings.KeyFile.toLocal8Bit();
        if (SSL_CTX_use_certificate_chain_file(state.context, certificate.constData()) != 1 ||
            SSL_CTX_use_PrivateKey_file(state.context, key.constData(), SSL_FILETYPE_PEM) != 1)
            Fail(QStringLiteral("client certificate %1: %2")
                     .arg(settings.CertificateFile, OpenSslReason()));
    }
    state.ssl = SSL_new(state.context);
    if (!state.ssl || SSL_set_fd(state.ssl, fd) != 1)
        Fail(OpenSslReason());
    SSL_set_mode(state.ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    const QByteArray host = settings.HostName.toUtf8();
    if (IsIpLiteral(settings.HostName)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(state.ssl), host.constData());
    } else {
        SSL_set1_host(state.ssl, host.constData());
        SSL_set_tlsext_host_name(state.ssl, host.constData());
    }

    for (;;) {
        if (cancel)
            RaiseSocketError(SocketErrorFromErrno(EINTR));
        ERR_clear_error();
        const int result = SSL_connect(state.ssl);
        if (result == 1)
            break;
        short waits = 0;
        const int outcome = Outcome(state.ssl, result, 1, waits);
        if (outcome != 1) {
            if (outcome < 0 && outcome != -EPROTO)
                RaiseSocketError(SocketErrorFromErrno(-outcome));
            Fail(OpenSslReason());
        }
        pollfd p{fd, waits, 0};
        ::poll(&p, 1, kHandshakeStepMs);
    }

    X509 *certificate = SSL_get1_peer_certificate(state.ssl);
    if (!certificate)
        Fail(QStringLiteral("the server sent no certificate"));
    session->m_fingerprint = FingerprintOf(certificate);
    X509_free(certificate);
    const long verdict = SSL_get_verify_result(state.ssl);
    session->m_verified = verdict == X509_V_OK;
    if (!session->m_verified && (settings.AcceptedFingerprint.isEmpty() ||
                                 NormalisedFingerprint(settings.AcceptedFingerprint) !=
                                     NormalisedFingerprint(session->m_fingerprint)))
        throw ECertificateRefused(QString::fromLatin1(X509_verify_cert_error_string(verdict)),
                                  session->m_fingerprint);
    return session;
}

int TTlsSession::Read(char *buffer, int size, int wouldBlock, short &waits)
{
    ERR_clear_error();
    const int result = SSL_read(m_state->ssl, buffer, size);
    return result > 0 ? result : Outcome(m_state->ssl, result, wouldBlock, waits);
}

int TTlsSession::Write(const char *data, int size, int wouldBlock, short &waits)
{
    ERR_clear_error();
    const int result = SSL_write(m_state->ssl, data, size);
    return result > 0 ? result : Outcome(m_state->ssl, result, wouldBlock, waits);
}

bool TTlsSession::HasPending() const
{
    return SSL_pending(m_state->ssl) > 0;
}

void TTlsSession::Close()
{
    ERR_clear_error();
    SSL_shutdown(m_state->ssl);
    ERR_clear_error();
}
