#pragma once

#include <QApplication>
#include <QString>

#include <functional>

class QSocketNotifier;
class QWidget;

// The application object with the program's error hook: an exception that reaches the
// event loop from any handler is handed to the error reporter ("Exception: " + message in
// the traffic log) and the program carries on with the next event.
class TalvinApplication : public QApplication
{
    Q_OBJECT
public:
    TalvinApplication(int &argc, char **argv);
    ~TalvinApplication() override;

    bool notify(QObject *receiver, QEvent *event) override;

    // Closes the window the normal way (its close handler saves and quits the server) when
    // the process receives SIGTERM or SIGINT, as it does when the desktop session ends.
    // The signal handler only writes a byte to a pipe; the window is closed from the
    // event loop.
    void CloseOnTermination(QWidget *window);

private:
    QSocketNotifier *m_signalNotifier = nullptr;
};

// Where errors caught by the hook go. The main window installs AddToLog("Exception: " + ...)
// here; without a reporter the message goes to the Qt warning log.
void SetUnhandledErrorReporter(std::function<void(const QString &message)> reporter);
// Reports one error through the installed reporter.
void ReportUnhandledError(const QString &message);
// Runs the call and reports any exception it throws instead of letting it leave; for the
// program's own handlers, so an error never unwinds through the toolkit's frames.
void RunGuarded(const std::function<void()> &call);
