#pragma once

#include <QString>

#include <stdexcept>

// Root of every error the program raises. Errors travel as exceptions; the main window's
// error hook logs any that reach the event loop as "Exception: " + message and carries on.
class ETalvinError : public std::runtime_error
{
public:
    explicit ETalvinError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}

    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A text that was expected to be a number or a Boolean was not one (for instance the
// "err-Key" fallback of a missing configuration key).
class EConvertError : public ETalvinError
{
public:
    using ETalvinError::ETalvinError;
};
