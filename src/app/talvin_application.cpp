#include "app/talvin_application.h"

#include "base/exception.h"

#include <QFont>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <exception>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::function<void(const QString &)> &Reporter()
{
    static std::function<void(const QString &)> reporter;
    return reporter;
}

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

QString MessageOf(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const ETalvinError *>(&error))
        return own->message();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

void SetUnhandledErrorReporter(std::function<void(const QString &message)> reporter)
{
    Reporter() = std::move(reporter);
}

void ReportUnhandledError(const QString &message)
{
    // Also on stderr: the traffic log only exists while connected, and an error must never
    // vanish without a trace.
    qWarning("Exception: %s", qUtf8Printable(message));
    if (Reporter()) {
        try {
            Reporter()(message);
        } catch (...) {
        }
    }
}

void RunGuarded(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &error) {
        ReportUnhandledError(MessageOf(error));
    } catch (...) {
        ReportUnhandledError(QStringLiteral("Unknown error"));
    }
}

TalvinApplication::TalvinApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // Text in scripts that need no OpenType shaping (Latin and Cyrillic among them) is
    // laid out from the font's own glyphs and advances, without kerning or ligatures:
    // shaping took more than half of laying out a busy channel's lines. Scripts that need
    // shaping still get it. Every font of the program derives from this one.
    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    QApplication::setFont(font);
}

TalvinApplication::~TalvinApplication()
{
    if (g_signalPipe[0] >= 0) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
    }
}

bool TalvinApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ReportUnhandledError(MessageOf(error));
    } catch (...) {
        ReportUnhandledError(QStringLiteral("Unknown error"));
    }
    return false;
}

void TalvinApplication::CloseOnTermination(QWidget *window)
{
    if (g_signalPipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
            return;
        ::fcntl(g_signalPipe[1], F_SETFL, ::fcntl(g_signalPipe[1], F_GETFL) | O_NONBLOCK);
        struct sigaction action = {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
    }
    delete m_signalNotifier;
    m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    QPointer<QWidget> target(window);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, [target] {
        char bytes[16];
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], bytes, sizeof bytes);
        if (target)
            target->close();
    });
}
