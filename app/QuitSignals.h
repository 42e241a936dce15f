#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace kestrova {

// Turns SIGTERM (what a desktop sends at log-out), SIGINT and SIGHUP into a quit through the event loop, so
// that the application ends as it does from its Quit item: status items taken down, settings written, the
// run marked clean, exit status 0. The handler only writes the signal's number to a pipe, which is all a
// signal handler may safely do; the main thread reads it and asks the application to quit. One per
// process: the handlers before it are put back when it goes. Main thread only.
class QuitSignals : public QObject {
    Q_OBJECT

public:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    Q_DISABLE_COPY_MOVE(QuitSignals)

    // Whether the handlers are in place (a pipe could be made).
    bool isInstalled() const { return m_notifier != nullptr; }

Q_SIGNALS:
    // Before the application is asked to quit.
    void quitRequested(int signalNumber);

private:
    void readSignals();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[std::size(kSignals)] = {};
};

} // namespace kestrova
