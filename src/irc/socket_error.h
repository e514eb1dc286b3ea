#pragma once

#include "base/exception.h"

#include <QString>

// Errors of the line connection. Socket failures carry Windows Sockets numbers (10000 +
// the BSD code) and their fixed English texts, because the main window shows and logs these
// texts exactly as users of earlier versions know them.

// A socket call failed. message() is "Socket Error # <number>\r\n<text>".
class ESocketError : public ETalvinError
{
public:
    ESocketError(int errorCode, const QString &message)
        : ETalvinError(message), m_errorCode(errorCode)
    {}

    // The Windows Sockets number (10061 for a refused connection, 11001 for an unknown host).
    int LastError() const noexcept { return m_errorCode; }

private:
    int m_errorCode;
};

// Read or write on a connection that is not open: "Not Connected".
class ENotConnected : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// A connect with a positive time-out ran out: "Connect timed out.".
class EConnectTimeout : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// Connect on a connection that is already open: "Already connected.".
class EAlreadyConnected : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};

// Numbers above this stand for an errno without a Windows Sockets counterpart.
constexpr int kUnmappedErrnoBase = 100000;

// Windows Sockets numbering for a POSIX errno value (ECONNREFUSED -> 10061, ...). An errno
// without a counterpart gives kUnmappedErrnoBase + errno, never a real socket number.
int SocketErrorFromErrno(int errnoValue);

// Fixed text of a Windows Sockets error number; for an unmapped errno the system's text;
// empty for any other number.
QString SocketErrorText(int errorCode);

// "Socket Error # %d\r\n%s" with the number and its text.
QString SocketErrorMessage(int errorCode);

// Throws ESocketError for the number.
[[noreturn]] void RaiseSocketError(int errorCode);

// The number used for a host name that cannot be resolved ("Host not found.").
constexpr int kHostNotFound = 11001;
