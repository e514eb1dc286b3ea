#include "irc/socket_error.h"

#include <cerrno>
#include <cstring>

int SocketErrorFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    // A send after the peer has gone (EPIPE) is the "after socket is closed" case.
    case ESHUTDOWN:
    case EPIPE:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    default:
        // Far above every socket number: 10000 + errno would collide with real ones
        // (ENODATA is 61 on Linux and would read "Connection refused.").
        return kUnmappedErrnoBase + errnoValue;
    }
}

QString SocketErrorText(int errorCode)
{
    switch (errorCode) {
    case 10004:
        return QStringLiteral("Interrupted system call.");
    case 10009:
        return QStringLiteral("Bad file number.");
    case 10013:
        return QStringLiteral("Access denied.");
    case 10014:
        return QStringLiteral("Bad address.");
    case 10022:
        return QStringLiteral("Invalid argument.");
    case 10024:
        return QStringLiteral("Too many open files.");
    case 10035:
        return QStringLiteral("Operation would block. ");
    case 10036:
        return QStringLiteral("Operation now in progress.");
    case 10037:
        return QStringLiteral("Operation already in progress.");
    case 10038:
        return QStringLiteral("Socket operation on non-socket.");
    case 10039:
        return QStringLiteral("Destination address required.");
    case 10040:
        return QStringLiteral("Message too long.");
    case 10041:
        return QStringLiteral("Protocol wrong type for socket.");
    case 10042:
        return QStringLiteral("Bad protocol option.");
    case 10043:
        return QStringLiteral("Protocol not supported.");
    case 10044:
        return QStringLiteral("Socket type not supported.");
    case 10045:
        return QStringLiteral("Operation not supported on socket.");
    case 10046:
        return QStringLiteral("Protocol family not supported.");
    case 10047:
        return QStringLiteral("Address family not supported by protocol family.");
    case 10048:
        return QStringLiteral("Address already in use.");
    case 10049:
        return QStringLiteral("Cannot assign requested address.");
    case 10050:
        return QStringLiteral("Network is down.");
    case 10051:
        return QStringLiteral("Network is unreachable.");
    case 10052:
        return QStringLiteral("Net dropped connection or reset.");
    case 10053:
        return QStringLiteral("Software caused connection abort.");
    case 10054:
        return QStringLiteral("Connection reset by peer.");
    case 10055:
        return QStringLiteral("No buffer space available.");
    case 10056:
        return QStringLiteral("Socket is already connected.");
    case 10057:
        return QStringLiteral("Socket is not connected.");
    case 10058:
        return QStringLiteral("Cannot send or receive after socket is closed.");
    case 10059:
        return QStringLiteral("Too many references, cannot splice.");
    case 10060:
        return QStringLiteral("Connection timed out.");
    case 10061:
        return QStringLiteral("Connection refused.");
    case 10062:
        return QStringLiteral("Too many levels of symbolic links.");
    case 10063:
        return QStringLiteral("File name too long.");
    case 10064:
        return QStringLiteral("Host is down.");
    case 10065:
        return QStringLiteral("No route to host.");
    case 10066:
        return QStringLiteral("Directory not empty");
    case kHostNotFound:
        return QStringLiteral("Host not found.");
    default:
        // An errno without a socket number still says what went wrong, in the system's words.
        if (errorCode > kUnmappedErrnoBase)
            return QString::fromLocal8Bit(std::strerror(errorCode - kUnmappedErrnoBase));
        return QString();
    }
}

QString SocketErrorMessage(int errorCode)
{
    return QStringLiteral("Socket Error # %1\r\n%2").arg(errorCode).arg(SocketErrorText(errorCode));
}

void RaiseSocketError(int errorCode)
{
    throw ESocketError(errorCode, SocketErrorMessage(errorCode));
}
