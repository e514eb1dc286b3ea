#include "speech/ssip_voice_list.h"

#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

class SsipClient
{
public:
    explicit SsipClient(int timeoutMs) : m_deadline(timeoutMs) {}
    ~SsipClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool connectTo(const QByteArray &address)
    {
        if (address.startsWith("unix_socket:")) {
            const QByteArray path = address.mid(12);
            sockaddr_un un{};
            if (path.size() >= qsizetype(sizeof(un.sun_path)))
                return false;
            un.sun_family = AF_UNIX;
            std::memcpy(un.sun_path, path.constData(), size_t(path.size()));
            m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr *>(&un), sizeof(un)) == 0;
        }
        if (address.startsWith("inet_socket:")) {
            const QList<QByteArray> parts = address.mid(12).split(':');
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *found = nullptr;
            if (::getaddrinfo(parts.value(0).constData(), parts.value(1, "6560").constData(),
                              &hints, &found) != 0)
                return false;
            for (addrinfo *a = found; a && m_fd < 0; a = a->ai_next) {
                m_fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
                if (m_fd >= 0 && ::connect(m_fd, a->ai_addr, a->ai_addrlen) != 0) {
                    ::close(m_fd);
                    m_fd = -1;
                }
            }
            ::freeaddrinfo(found);
            return m_fd >= 0;
        }
        return false;
    }

    // Sends one command and collects the reply's lines; the last line has a blank after
    // its three-digit code, the others a "-". False on a broken or slow connection or an
    // error reply (codes 3xx and up).
    bool command(const QByteArray &text, QList<QByteArray> *lines)
    {
        lines->clear();
        const QByteArray line = text + "\r\n";
        if (::send(m_fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) != line.size())
            return false;
        for (;;) {
            QByteArray reply;
            if (!readLine(&reply) || reply.size() < 4)
                return false;
            lines->append(reply.mid(4));
            if (reply[3] == ' ')
                return reply[0] == '2';
        }
    }

private:
    bool readLine(QByteArray *line)
    {
        for (;;) {
            const qsizetype end = m_buffer.indexOf("\r\n", m_start);
            if (end >= 0) {
                *line = m_buffer.mid(m_start, end - m_start);
                m_start = end + 2;
                return true;
            }
            m_buffer.remove(0, m_start);
            m_start = 0;
            pollfd p{m_fd, POLLIN, 0};
            const qint64 left = m_deadline.remainingTime();
            if (left == 0 || ::poll(&p, 1, int(left)) <= 0)
                return false;
            char chunk[65536];
            const ssize_t got = ::recv(m_fd, chunk, sizeof(chunk), 0);
            if (got <= 0)
                return false;
            m_buffer.append(chunk, got);
        }
    }

    QDeadlineTimer m_deadline;
    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_start = 0; // where the unread part of m_buffer begins
};

} // namespace

bool ListSsipVoices(const QByteArray &address, const QByteArray &skippedModule, int timeoutMs,
                    QList<TSsipVoice> *voices)
{
    voices->clear();
    SsipClient client(timeoutMs);
    QList<QByteArray> lines;
    if (!client.connectTo(address) ||
        !client.command("SET SELF CLIENT_NAME talvin:talvin:voices", &lines) ||
        !client.command("LIST OUTPUT_MODULES", &lines))
        return false;
    lines.removeLast(); // "OK MODULE LIST SENT"
    const QList<QByteArray> modules = lines;
    for (const QByteArray &module : modules) {
        if (module == skippedModule || module.isEmpty())
            continue;
        if (!client.command("SET SELF OUTPUT_MODULE " + module, &lines) ||
            !client.command("LIST SYNTHESIS_VOICES", &lines))
            return false;
        lines.removeLast(); // "OK VOICE LIST SENT"
        for (const QByteArray &line : std::as_const(lines)) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.value(0).isEmpty())
                continue;
            voices->append({module, fields.value(0), fields.value(1), fields.value(2)});
        }
    }
    QList<QByteArray> bye;
    client.command("QUIT", &bye);
    return true;
}
