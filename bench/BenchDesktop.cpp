#include "BenchDesktop.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>

#include <chrono>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kestrova::bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::optional<long long> statusValue(const QString &path, const QByteArray &name) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return std::nullopt;
}

double residentMegabytes(qint64 pid) {
    return double(statusValue(QStringLiteral("/proc/%1/status").arg(pid), "VmRSS").value_or(0)) / 1024.0;
}

double anonymousResidentMegabytes(qint64 pid) {
    return double(statusValue(QStringLiteral("/proc/%1/status").arg(pid), "RssAnon").value_or(0)) / 1024.0;
}

ProcessWindows::ProcessWindows(const QByteArray &display)
    : m_display(XOpenDisplay(display.constData())) {
    if (m_display)
        m_pidAtom = XInternAtom(m_display, "_NET_WM_PID", False);
    // Windows come and go while the tree is walked (a tray embedding a thousand icons): a window gone
    // between the listing and the look at it is skipped, where Xlib's own handler would end the program.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
}

ProcessWindows::~ProcessWindows() {
    if (m_display)
        XCloseDisplay(m_display);
}

std::vector<ProcessWindows::Shown> ProcessWindows::mappedWindows(qint64 pid) {
    std::vector<Shown> shown;
    collect(DefaultRootWindow(m_display), static_cast<unsigned long>(pid), shown);
    return shown;
}

void ProcessWindows::collect(Window window, unsigned long pid, std::vector<Shown> &into) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable &&
        windowPid(window) == pid) {
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
        into.push_back({window, QRect(x, y, attributes.width, attributes.height)});
    }
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int childCount = 0;
    if (!XQueryTree(m_display, window, &root, &parent, &children, &childCount))
        return;
    for (unsigned int index = 0; index < childCount; ++index)
        collect(children[index], pid, into);
    if (children)
        XFree(children);
}

unsigned long ProcessWindows::windowPid(Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long remaining = 0;
    unsigned char *data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(m_display, window, m_pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                           &remaining, &data) == Success &&
        data) {
        if (format == 32 && items == 1)
            pid = *reinterpret_cast<unsigned long *>(data);
        XFree(data);
    }
    return pid;
}

bool Desktop::start(const QString &workDirectory) {
    m_xvfb.setProgram(QStringLiteral("Xvfb"));
    m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1024x600x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    m_xvfb.setStandardErrorFile(QProcess::nullDevice());
    m_xvfb.start();
    if (!m_xvfb.waitForStarted(5000) || !m_xvfb.waitForReadyRead(10000))
        return false;
    display = ':' + m_xvfb.readLine().trimmed();

    m_bus.setProgram(QStringLiteral("dbus-daemon"));
    m_bus.setArguments(
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    m_bus.start();
    if (m_bus.waitForStarted(5000) && m_bus.waitForReadyRead(5000))
        busAddress = m_bus.readLine().trimmed();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    m_tray.setProcessEnvironment(environment);
    m_tray.setWorkingDirectory(workDirectory);
    m_tray.setStandardOutputFile(QProcess::nullDevice());
    m_tray.setStandardErrorFile(QProcess::nullDevice());
    m_tray.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("left"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                  QStringLiteral("--height"), QStringLiteral("32"), QStringLiteral("--SetDockType"),
                  QStringLiteral("true"), QStringLiteral("--transparent"), QStringLiteral("false")});
    if (!m_tray.waitForStarted(5000))
        return false;
    // The tray must own its selection before an icon looks for it.
    Display *connection = XOpenDisplay(display.constData());
    if (!connection)
        return false;
    const Atom selection = XInternAtom(connection, "_NET_SYSTEM_TRAY_S0", False);
    const auto deadline = Clock::now() + 10s;
    while (XGetSelectionOwner(connection, selection) == None && Clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    const bool owned = XGetSelectionOwner(connection, selection) != None;
    XCloseDisplay(connection);
    return owned;
}

Desktop::~Desktop() {
    for (QProcess *process : {&m_tray, &m_bus, &m_xvfb}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(3000))
            process->kill();
        process->waitForFinished(3000);
    }
}

bool hasPrerequisites(const char *bench, const QStringList &builtPrograms) {
    for (const QString &path : builtPrograms) {
        if (!QFile::exists(path)) {
            std::printf("%s skipped: %s is not built\n", bench, qPrintable(path));
            return false;
        }
    }
    for (const char *tool : {"Xvfb", "trayer", "dbus-daemon"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("%s skipped: %s is not installed (scripts/install-deps installs it)\n", bench, tool);
            return false;
        }
    }
    return true;
}

BenchHome::BenchHome()
    : m_home(m_work.filePath(QStringLiteral("home")))
    , m_runtime(m_work.filePath(QStringLiteral("runtime"))) {
    QDir().mkpath(m_home);
    QDir().mkpath(m_runtime);
    QFile::setPermissions(m_runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QProcessEnvironment BenchHome::environment(const Desktop &desktop) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(desktop.display));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (!desktop.busAddress.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QString::fromLatin1(desktop.busAddress));
    return environment;
}

} // namespace kestrova::bench
