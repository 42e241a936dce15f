// A folder menu opened as a person opens it, timed from outside the process: on a private X server with a
// tray (Xvfb + trayer), an XTest click on the application's tray icon, then the menu window mapped, then its
// first drawing (an XDamage report), for folders of several sizes. The same for a bare Qt tray program that
// opens a plain one-column QMenu of the same folder, run in the same session, and for the floor: listing the
// folder with readdir + statx and sorting it with ICU collation keys. While a menu opens, and for a moment
// after Escape has closed it, the icon's window is sent a _NET_WM_PING every few milliseconds; the longest
// wait for an answer is how long the event loop did not answer. Resident memory is read before the first
// opening, when the first opening has drawn, and after the last menu has closed.
//
//   kestrova_bench_menu_e2e [ENTRIES...]     (100 1000 10000 50000 200000 by default)
//
// KESTROVA_BENCH_OPENINGS=N opens each menu N times (memory after many openings); KESTROVA_BENCH_BARE=0
// leaves the bare QMenu out, which takes minutes from 50,000 entries on; KESTROVA_BENCH_MEMORY_MAPS=DIR
// keeps the memory maps (see keepMemoryMap).
//
// Folders hold 10% subfolders, 5% symbolic links and names with accents and spaces; icons are on.
#include "BenchDesktop.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMimeDatabase>
#include <QProcess>
#include <QProxyStyle>
#include <QSystemTrayIcon>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using kestrova::bench::anonymousResidentMegabytes;
using kestrova::bench::Desktop;
using kestrova::bench::ProcessWindows;
using kestrova::bench::residentMegabytes;

// More openings give a profiler attached to the application enough samples of a warm opening.
const int kOpenings = qEnvironmentVariableIntValue("KESTROVA_BENCH_OPENINGS") > 1
                          ? qEnvironmentVariableIntValue("KESTROVA_BENCH_OPENINGS")
                          : 4;
// Often enough that a stall of a frame (16 ms) shows within a few milliseconds of its length.
constexpr auto kPingInterval = 4ms;
// How long the event loop is watched after the menu has gone: freeing its rows and memory happens then.
constexpr auto kWatchAfterClosing = 1500ms;
constexpr double kStallGoalMilliseconds = 16;
const std::chrono::seconds kOpenTimeout{qEnvironmentVariableIntValue("KESTROVA_BENCH_OPEN_TIMEOUT") > 0
                                            ? qEnvironmentVariableIntValue("KESTROVA_BENCH_OPEN_TIMEOUT")
                                            : 180};

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Lets Fusion show a long menu as one scrolling column instead of screen-wide columns.
class OneColumnStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The baseline: one tray icon whose click lists the folder into a plain QMenu, built afresh on every
// click as the application does, with one icon per MIME type.
int runBareMenu(int argc, char **argv, const QString &directory) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(new OneColumnStyle);
    QImage image(22, 22, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 110, 70));
    QSystemTrayIcon trayIcon(QIcon(QPixmap::fromImage(image)));
    QMimeDatabase mimeTypes;
    QHash<QString, QIcon> iconsByType;
    QObject::connect(
        &trayIcon, &QSystemTrayIcon::activated, &trayIcon, [&](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Trigger)
                return;
            auto *menu = new QMenu;
            menu->setAttribute(Qt::WA_DeleteOnClose);
            const QFileInfoList entries = QDir(directory).entryInfoList(
                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                QDir::Name | QDir::DirsFirst | QDir::LocaleAware | QDir::IgnoreCase);
            for (const QFileInfo &entry : entries) {
                const QMimeType type =
                    entry.isDir()
                        ? mimeTypes.mimeTypeForName(QStringLiteral("inode/directory"))
                        : mimeTypes.mimeTypeForFile(entry.fileName(), QMimeDatabase::MatchExtension);
                auto found = iconsByType.find(type.name());
                if (found == iconsByType.end())
                    found = iconsByType.insert(
                        type.name(),
                        QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName())));
                menu->addAction(*found, entry.fileName());
            }
            menu->popup(trayIcon.geometry().bottomLeft());
        });
    trayIcon.show();
    return QApplication::exec();
}

// Names as people give them: spaces, accents, capitals, numbers in the middle.
QString entryName(int index) {
    static const char *const stems[] = {
        "Résumé final", "Ångström notes",      "photo", "Über Projekt", "naïve test",
        "Invoice",      "Crème brûlée recipe", "draft", "Zoë's plan",   "año nuevo"};
    static const char *const extensions[] = {".txt", ".jpg", ".pdf", ".md", ".png", ".odt", ".cpp", ""};
    return QStringLiteral("%1 %2%3")
        .arg(QString::fromUtf8(stems[index % 10]))
        .arg(index)
        .arg(QLatin1String(extensions[(index / 10) % 8]));
}

void fill(const QString &directory, int count) {
    QDir().mkpath(directory);
    for (int index = 0; index < count; ++index) {
        const QByteArray path = QFile::encodeName(directory + QLatin1Char('/') + entryName(index));
        if (index % 10 == 3) {
            mkdir(path.constData(), 0755);
        } else if (index % 20 == 7 && index > 0) {
            const QByteArray target = QFile::encodeName(entryName(index - 1));
            if (symlink(target.constData(), path.constData()) != 0)
                std::perror("symlink");
        } else {
            close(open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
    }
}

// The floor: what any folder menu must do before it can show a row.
double floorMilliseconds(const QByteArray &path) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale::getDefault(), status));
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        struct Entry {
            std::string name;
            struct statx status;
            std::vector<uint8_t> key;
        };
        std::vector<Entry> entries;
        DIR *stream = opendir(path.constData());
        if (!stream)
            return 0;
        const int fd = dirfd(stream);
        while (const dirent *item = readdir(stream)) {
            if (item->d_name[0] == '.')
                continue;
            Entry entry{item->d_name, {}, {}};
            statx(fd, item->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &entry.status);
            entries.push_back(std::move(entry));
        }
        closedir(stream);
        for (Entry &entry : entries) {
            const icu::UnicodeString name = icu::UnicodeString::fromUTF8(entry.name);
            entry.key.resize(std::size_t(collator->getSortKey(name, nullptr, 0)));
            collator->getSortKey(name, entry.key.data(), int32_t(entry.key.size()));
        }
        std::sort(entries.begin(), entries.end(), [](const Entry &left, const Entry &right) {
            return std::strcmp(reinterpret_cast<const char *>(left.key.data()),
                               reinterpret_cast<const char *>(right.key.data())) < 0;
        });
        best = std::min(best, millisecondsBetween(start, Clock::now()));
    }
    return best;
}

struct Opening {
    double mapped = -1;
    double drawn = -1;
    double longestUnanswered = 0;
    double longestUnansweredAfterClosing = 0;
    double residentWhileOpen = 0;
};

// The pings of one stretch of watching: when each was sent and when its answer came.
struct Pings {
    std::map<long, Clock::time_point> sent;
    std::map<long, Clock::time_point> answered;
    Clock::time_point due{};

    // The longest an answer took, a ping still unanswered at `end` counting until then.
    double longestUnanswered(Clock::time_point end) const {
        double longest = 0;
        for (const auto &[ping, at] : sent) {
            if (at >= end)
                continue;
            const auto reply = answered.find(ping);
            const auto until = reply == answered.end() ? end : std::min(reply->second, end);
            longest = std::max(longest, millisecondsBetween(at, until));
        }
        return longest;
    }
};

// A client of its own on the X server that clicks the icon, watches for the menu's window and its first
// drawing, and pings the process while it opens the menu.
class MenuWatcher {
public:
    MenuWatcher(const QByteArray &display, qint64 pid, unsigned long iconWindow, QPoint iconCentre)
        : m_windows(display)
        , m_pid(pid)
        , m_icon(iconWindow)
        , m_iconCentre(iconCentre) {
        m_display = m_windows.display();
        int damageError = 0;
        int testEvent = 0;
        int testError = 0;
        int major = 0;
        int minor = 0;
        m_hasExtensions = m_display && XDamageQueryExtension(m_display, &m_damageEvent, &damageError) &&
                          XTestQueryExtension(m_display, &testEvent, &testError, &major, &minor);
        if (!m_display)
            return;
        m_protocols = XInternAtom(m_display, "WM_PROTOCOLS", False);
        m_ping = XInternAtom(m_display, "_NET_WM_PING", False);
        // Qt answers a ping on the root window for the window manager, with the structure-notify mask
        // (and the redirect one no client here holds): only a client that selected it there hears it.
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask | StructureNotifyMask);
        XSync(m_display, False);
    }

    bool isReady() const { return m_display && m_hasExtensions; }

    std::optional<Opening> open() {
        drain();
        // Existing windows of the process may be reused for the menu.
        for (const auto &shown : topLevelWindows())
            watchDamage(shown);
        const auto start = Clock::now();
        XTestFakeMotionEvent(m_display, -1, m_iconCentre.x(), m_iconCentre.y(), 0);
        XTestFakeButtonEvent(m_display, 1, True, 0);
        XTestFakeButtonEvent(m_display, 1, False, 0);
        XFlush(m_display);

        Opening opening;
        Pings pings;
        pings.due = start;
        Clock::time_point mappedAt{};
        m_menu = 0;
        while (Clock::now() - start < kOpenTimeout) {
            pingIfDue(pings);
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
                const auto at = Clock::now();
                if (event.type == CreateNotify) {
                    watchDamage(event.xcreatewindow.window);
                } else if (event.type == MapNotify && !m_menu && event.xmap.window != m_icon &&
                           m_windows.windowPid(event.xmap.window) == static_cast<unsigned long>(m_pid)) {
                    m_menu = event.xmap.window;
                    mappedAt = at;
                    opening.mapped = millisecondsBetween(start, at);
                    watchDamage(m_menu);
                } else if (event.type == m_damageEvent + XDamageNotify) {
                    const auto *damage = reinterpret_cast<XDamageNotifyEvent *>(&event);
                    if (m_menu && damage->drawable == m_menu && opening.drawn < 0) {
                        opening.drawn = millisecondsBetween(start, at);
                        opening.residentWhileOpen = residentMegabytes(m_pid);
                    }
                } else {
                    takePingAnswer(event, at, pings);
                }
            }
            if (opening.drawn >= 0)
                break;
            pollFor(std::chrono::duration_cast<std::chrono::milliseconds>(pings.due - Clock::now()));
        }
        stopWatchingDamage();
        if (opening.drawn < 0)
            return std::nullopt;
        const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double, std::milli>(opening.drawn));
        opening.longestUnanswered = pings.longestUnanswered(end);
        return opening;
    }

    // Escape, as a person closes a menu; waits until its window is gone, then watches the event loop for
    // kWatchAfterClosing. Gives the longest wait for a ping's answer from Escape on; nothing when the
    // menu did not close.
    std::optional<double> close() {
        if (!m_menu)
            return 0.0;
        const KeyCode escape = XKeysymToKeycode(m_display, XK_Escape);
        XTestFakeKeyEvent(m_display, escape, True, 0);
        XTestFakeKeyEvent(m_display, escape, False, 0);
        XFlush(m_display);
        const auto start = Clock::now();
        Pings pings;
        pings.due = start;
        std::optional<Clock::time_point> closedAt;
        while (Clock::now() - start < 30s && (!closedAt || Clock::now() - *closedAt < kWatchAfterClosing)) {
            pingIfDue(pings);
            while (XPending(m_display)) {
                XEvent event;
                XNextEvent(m_display, &event);
                if ((event.type == UnmapNotify && event.xunmap.window == m_menu) ||
                    (event.type == DestroyNotify && event.xdestroywindow.window == m_menu)) {
                    m_menu = 0;
                    closedAt = Clock::now();
                }
                takePingAnswer(event, Clock::now(), pings);
            }
            pollFor(std::chrono::duration_cast<std::chrono::milliseconds>(pings.due - Clock::now()));
        }
        if (!closedAt)
            return std::nullopt;
        return pings.longestUnanswered(Clock::now());
    }

private:
    std::vector<unsigned long> topLevelWindows() {
        std::vector<unsigned long> found;
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count))
            return found;
        for (unsigned int index = 0; index < count; ++index)
            if (m_windows.windowPid(children[index]) == static_cast<unsigned long>(m_pid))
                found.push_back(children[index]);
        if (children)
            XFree(children);
        return found;
    }

    void watchDamage(unsigned long window) {
        if (m_damages.count(window))
            return;
        m_damages[window] = XDamageCreate(m_display, window, XDamageReportNonEmpty);
    }

    void stopWatchingDamage() {
        // Windows already gone make the server answer BadDamage; the handler below ignores it.
        const auto previous = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        for (const auto &[window, damage] : m_damages)
            XDamageDestroy(m_display, damage);
        XSync(m_display, False);
        XSetErrorHandler(previous);
        m_damages.clear();
    }

    void pingIfDue(Pings &pings) {
        const auto now = Clock::now();
        if (now < pings.due)
            return;
        const long serial = ++m_pingSerial;
        sendPing(serial);
        pings.sent[serial] = now;
        pings.due = now + kPingInterval;
    }

    void takePingAnswer(const XEvent &event, Clock::time_point at, Pings &pings) {
        if (event.type == ClientMessage && event.xclient.message_type == m_protocols &&
            Atom(event.xclient.data.l[0]) == m_ping)
            pings.answered.emplace(event.xclient.data.l[3], at);
    }

    void sendPing(long serial) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = m_icon;
        event.xclient.message_type = m_protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(m_ping);
        // The timestamp field stays CurrentTime: Qt takes a ping's time as the server's, and a made-up
        // later one would make its next pointer grab (the menu's) fail. The reply carries the whole
        // message back, so the serial rides in a field the protocol leaves free.
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(m_icon);
        event.xclient.data.l[3] = serial;
        XSendEvent(m_display, m_icon, False, NoEventMask, &event);
        XFlush(m_display);
    }

    void drain() {
        XSync(m_display, False);
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    void pollFor(std::chrono::milliseconds wait) {
        pollfd descriptor{ConnectionNumber(m_display), POLLIN, 0};
        poll(&descriptor, 1, int(std::max<long long>(0, wait.count())));
    }

    ProcessWindows m_windows;
    Display *m_display = nullptr;
    qint64 m_pid;
    unsigned long m_icon;
    QPoint m_iconCentre;
    bool m_hasExtensions = false;
    int m_damageEvent = 0;
    Atom m_protocols = 0;
    Atom m_ping = 0;
    unsigned long m_menu = 0;
    long m_pingSerial = 0;
    std::map<unsigned long, Damage> m_damages;
};

struct Run {
    std::vector<Opening> openings;
    double residentBefore = 0;
    double residentAfter = 0;
    double anonymousBefore = 0;
    double anonymousAfter = 0;
    QString failure;

    const Opening *cold() const { return openings.empty() ? nullptr : &openings.front(); }
    // The median of the openings after the first.
    double warm(double Opening::*field) const {
        std::vector<double> values;
        for (std::size_t index = 1; index < openings.size(); ++index)
            values.push_back(openings[index].*field);
        if (values.empty())
            return -1;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    // The largest of the openings after the first.
    double warmLongest(double Opening::*field) const {
        double longest = -1;
        for (std::size_t index = 1; index < openings.size(); ++index)
            longest = std::max(longest, openings[index].*field);
        return longest;
    }
};

// With KESTROVA_BENCH_MEMORY_MAPS=DIR, the program's memory map (smaps) is copied into DIR before the
// first opening and after the last closing, to tell which mappings keep what the menu left behind.
void keepMemoryMap(qint64 pid, const char *when) {
    const QString directory = qEnvironmentVariable("KESTROVA_BENCH_MEMORY_MAPS");
    if (directory.isEmpty())
        return;
    QFile source(QStringLiteral("/proc/%1/smaps").arg(pid));
    QFile copy(QStringLiteral("%1/smaps-%2-%3").arg(directory).arg(pid).arg(QLatin1String(when)));
    if (source.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        copy.write(source.readAll());
}

// Starts the program, waits for its tray icon, opens and closes its menu kOpenings times and ends it.
Run measure(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
            const QByteArray &display) {
    Run run;
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        run.failure = QStringLiteral("did not start");
        return run;
    }
    const qint64 pid = process.processId();
    ProcessWindows windows(display);
    std::optional<ProcessWindows::Shown> icon;
    const auto start = Clock::now();
    while (!icon && Clock::now() - start < 20s && process.state() == QProcess::Running) {
        for (const auto &shown : windows.mappedWindows(pid))
            if (shown.place.width() <= 64 && shown.place.height() <= 64)
                icon = shown;
        if (!icon)
            std::this_thread::sleep_for(20ms);
    }
    if (icon) {
        // Settled: the tray's embedding traffic and start-up work are not part of opening.
        std::this_thread::sleep_for(1s);
        run.residentBefore = residentMegabytes(pid);
        run.anonymousBefore = anonymousResidentMegabytes(pid);
        keepMemoryMap(pid, "before");
        MenuWatcher watcher(display, pid, icon->window, icon->place.center());
        if (!watcher.isReady())
            run.failure = QStringLiteral("the X server lacks XTest or XDamage");
        for (int index = 0; run.failure.isEmpty() && index < kOpenings; ++index) {
            const auto opening = watcher.open();
            if (!opening) {
                std::fprintf(stderr, "  opening %d: nothing drawn\n", index + 1);
                run.failure = QStringLiteral("no menu drawn within %1 s").arg(kOpenTimeout.count());
                break;
            }
            run.openings.push_back(*opening);
            const auto afterClosing = watcher.close();
            if (!afterClosing) {
                run.failure = QStringLiteral("the menu did not close");
                break;
            }
            run.openings.back().longestUnansweredAfterClosing = *afterClosing;
            std::fprintf(stderr,
                         "  opening %d: mapped %.1f ms, drawn %.1f ms, longest unanswered %.1f ms, after "
                         "closing %.1f ms\n",
                         index + 1, opening->mapped, opening->drawn, opening->longestUnanswered,
                         *afterClosing);
            // Past the double-click interval, which would make the next click a double click.
            std::this_thread::sleep_for(800ms);
        }
        // Released memory is given back on later turns of the event loop.
        std::this_thread::sleep_for(2s);
        run.residentAfter = residentMegabytes(pid);
        run.anonymousAfter = anonymousResidentMegabytes(pid);
        keepMemoryMap(pid, "after");
    } else {
        run.failure = QStringLiteral("showed no tray icon");
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    return run;
}

const char *goalFor(int entries) {
    if (entries <= 100)
        return "10";
    if (entries <= 1000)
        return "20";
    if (entries <= 10000)
        return "80";
    return nullptr;
}

// From 50,000 entries on the goal is against the listing floor measured in the same run.
constexpr double kFloorRatioGoal = 1.2;

QString milliseconds(double value) {
    return value < 0 ? QStringLiteral("-") : QString::number(value, 'f', value < 10 ? 1 : 0);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && qstrcmp(argv[1], "--bare-menu") == 0)
        return runBareMenu(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication application(argc, argv);
    std::vector<int> counts{100, 1000, 10000, 50000, 200000};
    if (argc > 1) {
        counts.clear();
        for (int index = 1; index < argc; ++index)
            counts.push_back(std::atoi(argv[index]));
    }
    const QString program = QStringLiteral(KESTROVA_APPLICATION_PATH);
    const QString seed = QStringLiteral(KESTROVA_SEED_FOLDERS_PATH);
    if (!kestrova::bench::hasPrerequisites("menu e2e bench", {program, seed}))
        return 0;

    const kestrova::bench::BenchHome benchHome;
    const QString home = benchHome.home();
    Desktop desktop;
    if (!desktop.start(benchHome.workPath())) {
        std::printf("menu e2e bench skipped: the private X server or its tray did not start\n");
        return 0;
    }
    const QProcessEnvironment environment = benchHome.environment(desktop);

    struct Row {
        int entries;
        double floor;
        Run bare;
        Run ours;
    };
    std::vector<Row> rows;
    for (const int count : counts) {
        const QString folder = QStringLiteral("%1/Folder of %2").arg(home).arg(count);
        fill(folder, count);
        // Settings of their own for each size, so the application shows this folder alone.
        QProcessEnvironment ourEnvironment = environment;
        ourEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                              home + QStringLiteral("/.config-%1").arg(count));
        QProcess seeding;
        seeding.setProcessEnvironment(ourEnvironment);
        seeding.start(seed, {folder});
        if (!seeding.waitForFinished(20000) || seeding.exitCode() != 0) {
            std::printf("menu e2e bench: storing the folder failed\n");
            return 1;
        }
        Row row{count, floorMilliseconds(QFile::encodeName(folder)), {}, {}};
        if (qEnvironmentVariable("KESTROVA_BENCH_BARE") == QLatin1String("0")) {
            row.bare.failure = QStringLiteral("left out (KESTROVA_BENCH_BARE=0)");
        } else {
            std::fprintf(stderr, "%d entries: bare QMenu…\n", count);
            row.bare = measure(QCoreApplication::applicationFilePath(),
                               {QStringLiteral("--bare-menu"), folder}, environment, desktop.display);
        }
        std::fprintf(stderr, "%d entries: Kestrova…\n", count);
        row.ours = measure(program, {}, ourEnvironment, desktop.display);
        rows.push_back(std::move(row));
    }

    std::printf("Click on the tray icon to the menu's first drawing (XDamage), ms; cold = first opening of "
                "the process, warm = median of the next %d\n\n",
                kOpenings - 1);
    std::printf("| entries | floor: readdir+statx+ICU sort | bare QMenu, one column (cold / warm) | Kestrova "
                "(cold / warm) | Kestrova / bare (warm) | Kestrova / floor (warm; goal ≤ 1.2 from 50,000) | "
                "goal | met |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const Row &row : rows) {
        const double bareWarm = row.bare.warm(&Opening::drawn);
        const double ourWarm = row.ours.warm(&Opening::drawn);
        const double ourCold = row.ours.cold() ? row.ours.cold()->drawn : -1;
        const double bareCold = row.bare.cold() ? row.bare.cold()->drawn : -1;
        const char *goal = goalFor(row.entries);
        const bool met =
            ourWarm >= 0 && (goal ? ourWarm <= std::atof(goal) : ourWarm <= kFloorRatioGoal * row.floor);
        const auto ratio = [](double value, double to) {
            return value > 0 && to > 0 ? QString::number(value / to, 'f', 2) : QStringLiteral("-");
        };
        std::printf("| %d | %s | %s / %s | %s / %s | %s | %s | %s | %s |\n", row.entries,
                    qPrintable(milliseconds(row.floor)), qPrintable(milliseconds(bareCold)),
                    qPrintable(milliseconds(bareWarm)), qPrintable(milliseconds(ourCold)),
                    qPrintable(milliseconds(ourWarm)), qPrintable(ratio(ourWarm, bareWarm)),
                    qPrintable(ratio(ourWarm, row.floor)),
                    qPrintable(goal ? QStringLiteral("≤ %1 ms").arg(QLatin1String(goal))
                                    : QStringLiteral("≤ %1× floor").arg(kFloorRatioGoal)),
                    met ? "yes" : "no");
    }
    std::printf(
        "\n| entries | program | mapped (cold / warm) | longest unanswered ping while opening, cold / "
        "warm | after closing, warm | stalls ≤ %.0f ms (warm) | resident MB before / while open / "
        "after closing | after / before (goal ≤ 1.02) | of which anonymous, before / after |\n",
        kStallGoalMilliseconds);
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Row &row : rows) {
        for (const auto &[name, run] :
             {std::pair{"bare QMenu", &row.bare}, std::pair{"Kestrova", &row.ours}}) {
            if (!run->failure.isEmpty()) {
                std::printf("| %d | %s | failed: %s | | | | | | |\n", row.entries, name,
                            qPrintable(run->failure));
                continue;
            }
            const double grown = run->residentBefore > 0 ? run->residentAfter / run->residentBefore : 0;
            const double opening = run->warmLongest(&Opening::longestUnanswered);
            const double closing = run->warmLongest(&Opening::longestUnansweredAfterClosing);
            std::printf(
                "| %d | %s | %s / %s | %s / %s ms | %s ms | %s | %.1f / %.1f / %.1f | %.2f | %.1f / %.1f "
                "|\n",
                row.entries, name, qPrintable(milliseconds(run->cold() ? run->cold()->mapped : -1)),
                qPrintable(milliseconds(run->warm(&Opening::mapped))),
                qPrintable(milliseconds(run->cold() ? run->cold()->longestUnanswered : -1)),
                qPrintable(milliseconds(opening)), qPrintable(milliseconds(closing)),
                opening >= 0 && opening <= kStallGoalMilliseconds && closing <= kStallGoalMilliseconds ? "yes"
                                                                                                       : "no",
                run->residentBefore, run->cold() ? run->cold()->residentWhileOpen : 0.0, run->residentAfter,
                grown, run->anonymousBefore, run->anonymousAfter);
        }
    }
    return 0;
}
