#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <vector>

// Xlib stays out: its macros (None, Status) break Qt's headers included after it.
struct _XDisplay;

// What the benchmarks that run programs on a private desktop share: the desktop itself (Xvfb, a tray and a
// session bus), the windows a process shows on it, and its memory as /proc reports it.
namespace kestrova::bench {

// A line of a /proc status file as a number ("VmRSS" in kB, "voluntary_ctxt_switches", …).
std::optional<long long> statusValue(const QString &path, const QByteArray &name);
// The resident memory of a process in MB, or 0 when it is gone.
double residentMegabytes(qint64 pid);
// Of that, the process's own memory (heap, stacks, anonymous maps): what is left once shared library and
// font pages are taken out.
double anonymousResidentMegabytes(qint64 pid);

// The mapped windows of a process (by _NET_WM_PID), with their places on the screen.
class ProcessWindows {
public:
    explicit ProcessWindows(const QByteArray &display);
    ~ProcessWindows();
    ProcessWindows(const ProcessWindows &) = delete;
    ProcessWindows &operator=(const ProcessWindows &) = delete;

    bool isOpen() const { return m_display != nullptr; }
    _XDisplay *display() const { return m_display; }

    struct Shown {
        unsigned long window = 0;
        QRect place;
    };
    std::vector<Shown> mappedWindows(qint64 pid);
    unsigned long windowPid(unsigned long window);

private:
    void collect(unsigned long window, unsigned long pid, std::vector<Shown> &into);

    _XDisplay *m_display;
    unsigned long m_pidAtom = 0;
};

// A private X server with a tray (trayer, the XEmbed host) and a session bus, ended with the object.
class Desktop {
public:
    bool start(const QString &workDirectory);
    ~Desktop();

    QByteArray display;
    QByteArray busAddress;

private:
    QProcess m_xvfb;
    QProcess m_bus;
    QProcess m_tray;
};

// Whether the built programs and the desktop's tools are there; prints why `bench` is skipped when not.
bool hasPrerequisites(const char *bench, const QStringList &builtPrograms);

// A throwaway home (never the user's) with a private runtime folder, removed with the object.
class BenchHome {
public:
    BenchHome();

    QString workPath() const { return m_work.path(); }
    const QString &home() const { return m_home; }
    // The environment of programs shown on `desktop` that live in this home.
    QProcessEnvironment environment(const Desktop &desktop) const;

private:
    QTemporaryDir m_work;
    QString m_home;
    QString m_runtime;
};

} // namespace kestrova::bench
