// Start of the application to all of its tray icons shown, with 10 stored folders (or as many as asked),
// its resident memory after start, its wake-ups while idle and how soon it ends on SIGTERM; set against a
// bare Qt program that shows as many tray icons, measured the same way in the same run. Both run on a
// private X server with a tray (Xvfb + trayer) and a session bus, in a throwaway home; "shown" is when the
// tray has mapped every icon window of the process.
//
//   kestrova_bench_startup [ROUNDS [FOLDERS]]   (the medians of ROUNDS launches each, 5 by default; 10
//                                              folders by default, 1000 for the many-folders case)
//
// KESTROVA_BENCH_APPLICATION names another build of the application to measure instead (a copy of an
// earlier build, to set a change against what came before it on the same machine).
//
// Goals: start to icons under 1 s (under 2 s with 1,000 folders) and within 1.2 times the bare program's
// start with 10 folders, under 80 MB resident and within 5 MB of the bare program's, no wake-up while idle,
// ended within 100 ms of SIGTERM, and a D-Bus ping to the application's object answered within 50 ms from
// the moment the name is on the bus until every icon shows. The memory is split into the process's own
// (anonymous: heap, stacks) and the pages of the files it maps (libraries, fonts, caches), which tells where
// a difference from the bare program comes from.
#include "BenchDesktop.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSystemTrayIcon>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

namespace {

using kestrova::bench::Desktop;
using kestrova::bench::statusValue;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kDefaultFolders = 10;
constexpr double kStartRatioGoal = 1.2;
constexpr double kResidentOverBareGoal = 5;
constexpr auto kIdleStretch = 2s;
constexpr auto kSettling = 1500ms;
constexpr std::chrono::duration<double, std::milli> kPingGoal{50};
// Long enough for a start that takes many times its goal to be measured rather than given up on.
constexpr auto kShowLimit = 60s;

// The bare program of the baseline: N tray icons and nothing else.
int runBareIcons(int argc, char **argv, int count) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QImage image(22, 22, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(70, 110, 200));
    std::vector<std::unique_ptr<QSystemTrayIcon>> icons;
    for (int index = 0; index < count; ++index) {
        icons.push_back(std::make_unique<QSystemTrayIcon>(QIcon(QPixmap::fromImage(image))));
        icons.back()->show();
    }
    return QApplication::exec();
}

// Context switches of every thread of a process: each is a wake-up.
long long contextSwitches(qint64 pid) {
    long long switches = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString status = tasks + QLatin1Char('/') + task + QStringLiteral("/status");
        switches += statusValue(status, "voluntary_ctxt_switches").value_or(0) +
                    statusValue(status, "nonvoluntary_ctxt_switches").value_or(0);
    }
    return switches;
}

// User plus system CPU time of a process, in clock ticks.
long long cpuTicks(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // Fields after the command name, which may itself hold spaces and parentheses.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

// Pings the application's object on the bus from a thread of its own, one ping at a time, and keeps the
// slowest answer; pings sent before the name is on the bus are not counted.
class BusPinger {
public:
    explicit BusPinger(const QByteArray &busAddress)
        : m_thread([this, address = QString::fromLatin1(busAddress)] { run(address); }) {}
    ~BusPinger() { stop(); }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double slowestMilliseconds() const { return m_slowest.load(); }
    // How many pings were answered, and how many of them later than `kPingGoal`.
    int answered() const { return m_answered.load(); }
    int late() const { return m_late.load(); }

private:
    void run(const QString &address) {
        const QString name = QStringLiteral("kestrova-bench-pinger");
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address, name);
            while (!m_stop && bus.isConnected()) {
                // Introspection of an object of the application is answered by its main thread; the bus
                // library itself would answer a Peer ping on the D-Bus thread, however busy the main one.
                QDBusMessage ping = QDBusMessage::createMethodCall(
                    QStringLiteral("org.kestrova.Kestrova"), QStringLiteral("/org/kestrova/Kestrova"),
                    QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
                const auto sent = Clock::now();
                const QDBusMessage reply = bus.call(ping, QDBus::Block, 10000);
                const double took = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
                if (reply.type() == QDBusMessage::ReplyMessage) {
                    m_slowest = std::max(m_slowest.load(), took);
                    ++m_answered;
                    if (took > kPingGoal.count())
                        ++m_late;
                }
                std::this_thread::sleep_for(5ms);
            }
        }
        QDBusConnection::disconnectFromBus(name);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<double> m_slowest{0};
    std::atomic<int> m_answered{0};
    std::atomic<int> m_late{0};
    std::thread m_thread;
};

struct Launch {
    double slowestPingMilliseconds = 0;
    // The pings answered later than the goal, per hundred answered: one slow turn or many.
    double latePingPercent = 0;
    double millisecondsToShown = 0;
    double residentMegabytes = 0;
    double anonymousMegabytes = 0;
    long long idleWakeups = 0;
    long long idleCpuTicks = 0;
    double millisecondsToEndOnTerm = 0;
};

// Starts `program`, waits until it has `icons` icons in the tray, reads its memory and its wake-ups over an
// idle stretch, and ends it.
std::optional<Launch> launch(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment, kestrova::bench::ProcessWindows &tray,
                             int icons) {
    std::optional<BusPinger> pinger;
    pinger.emplace(environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")).toLatin1());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto start = Clock::now();
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return std::nullopt;
    const qint64 pid = process.processId();
    std::optional<Launch> result;
    while (Clock::now() - start < kShowLimit && process.state() == QProcess::Running) {
        if (int(tray.mappedWindows(pid).size()) >= icons) {
            result = Launch{};
            result->millisecondsToShown =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            // Not while idling: the pings would be the wake-ups counted there.
            pinger->stop();
            result->slowestPingMilliseconds = pinger->slowestMilliseconds();
            result->latePingPercent =
                pinger->answered() > 0 ? 100.0 * pinger->late() / pinger->answered() : 0;
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    if (result) {
        // Settled first: the tray's embedding traffic is part of starting, not of idling, and so is the
        // application's one look, a second after start, at whether its icon appeared.
        std::this_thread::sleep_for(kSettling);
        result->residentMegabytes = kestrova::bench::residentMegabytes(pid);
        result->anonymousMegabytes = kestrova::bench::anonymousResidentMegabytes(pid);
        const long long switchesBefore = contextSwitches(pid);
        const long long ticksBefore = cpuTicks(pid);
        std::this_thread::sleep_for(kIdleStretch);
        result->idleWakeups = contextSwitches(pid) - switchesBefore;
        result->idleCpuTicks = cpuTicks(pid) - ticksBefore;
    }
    pinger.reset();
    const auto terminated = Clock::now();
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (result)
        result->millisecondsToEndOnTerm =
            std::chrono::duration<double, std::milli>(Clock::now() - terminated).count();
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void printRow(const char *what, double application, double bare, const char *unit, const char *goal) {
    std::printf("  %-32s %9.1f %-3s  bare Qt %8.1f %-3s", what, application, unit, bare, unit);
    if (bare > 0)
        std::printf("  ratio %5.2f", application / bare);
    std::printf("%s\n", goal);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && qstrcmp(argv[1], "--bare-icons") == 0)
        return runBareIcons(argc, argv, std::atoi(argv[2]));

    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int folderCount = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultFolders;
    const QString program = qEnvironmentVariableIsEmpty("KESTROVA_BENCH_APPLICATION")
                                ? QStringLiteral(KESTROVA_APPLICATION_PATH)
                                : qEnvironmentVariable("KESTROVA_BENCH_APPLICATION");
    const QString seed = QStringLiteral(KESTROVA_SEED_FOLDERS_PATH);
    if (!kestrova::bench::hasPrerequisites("startup bench", {program, seed}))
        return 0;

    const kestrova::bench::BenchHome benchHome;
    const QString home = benchHome.home();
    QStringList folders;
    for (int index = 0; index < folderCount; ++index) {
        const QString folder = QStringLiteral("%1/Folder %2").arg(home).arg(index + 1);
        QDir().mkpath(folder);
        for (const char *name : {"notes.txt", "photo.png", "report.pdf"})
            QFile(folder + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly);
        folders << folder;
    }

    Desktop desktop;
    if (!desktop.start(benchHome.workPath())) {
        std::printf("startup bench skipped: the private X server or its tray did not start\n");
        return 0;
    }
    const QProcessEnvironment environment = benchHome.environment(desktop);

    QProcess seeding;
    seeding.setProcessEnvironment(environment);
    seeding.start(seed, folders);
    if (!seeding.waitForFinished(180000) || seeding.exitCode() != 0) {
        std::printf("startup bench: storing the folders failed\n");
        return 1;
    }

    kestrova::bench::ProcessWindows tray(desktop.display);
    if (!tray.isOpen()) {
        std::printf("startup bench: cannot reach the private X server\n");
        return 1;
    }
    std::vector<Launch> ours;
    std::vector<Launch> bare;
    // Alternating, so neither side has the page cache to itself.
    for (int round = 0; round < rounds; ++round) {
        const auto application = launch(program, {}, environment, tray, folderCount);
        const auto baseline = launch(QCoreApplication::applicationFilePath(),
                                     {QStringLiteral("--bare-icons"), QString::number(folderCount)},
                                     environment, tray, folderCount);
        if (!application || !baseline) {
            std::printf("startup bench: %s did not show %d tray icons within %lld s\n",
                        application ? "the bare program" : "the application", folderCount,
                        static_cast<long long>(kShowLimit.count()));
            return 1;
        }
        ours.push_back(*application);
        bare.push_back(*baseline);
    }

    const auto medianOf = [](const std::vector<Launch> &launches, auto field) {
        std::vector<double> values;
        for (const Launch &entry : launches)
            values.push_back(double(entry.*field));
        return median(values);
    };
    const double shown = medianOf(ours, &Launch::millisecondsToShown);
    const double resident = medianOf(ours, &Launch::residentMegabytes);
    const double wakeups = medianOf(ours, &Launch::idleWakeups);
    std::printf("%d folders, median of %d launches each:\n", folderCount, rounds);
    const double shownGoal = folderCount > kDefaultFolders ? 2000 : 1000;
    const auto metOrMissed = [](bool met) { return met ? QStringLiteral("met") : QStringLiteral("missed"); };
    const double bareShown = medianOf(bare, &Launch::millisecondsToShown);
    // Against the bare program only with few folders: a thousand icons are a different program.
    const bool comparesStart = folderCount <= kDefaultFolders && bareShown > 0;
    printRow("start to all icons shown", shown, bareShown, "ms",
             qPrintable(QStringLiteral("  (goal %1 ms%2: %3)")
                            .arg(shownGoal)
                            .arg(comparesStart ? QStringLiteral(" and ratio 1.2") : QString())
                            .arg(metOrMissed(shown < shownGoal &&
                                             (!comparesStart || shown <= kStartRatioGoal * bareShown)))));
    const double bareResident = medianOf(bare, &Launch::residentMegabytes);
    printRow(
        "resident memory after start", resident, bareResident, "MB",
        qPrintable(QStringLiteral("  (goal 80 MB and +%1 MB: %2)")
                       .arg(kResidentOverBareGoal)
                       .arg(metOrMissed(resident < 80 && resident - bareResident <= kResidentOverBareGoal))));
    const double anonymous = medianOf(ours, &Launch::anonymousMegabytes);
    const double bareAnonymous = medianOf(bare, &Launch::anonymousMegabytes);
    printRow("  of which anonymous", anonymous, bareAnonymous, "MB", "");
    printRow("  of which mapped files", resident - anonymous, bareResident - bareAnonymous, "MB", "");
    std::printf("  %-32s %+9.1f MB\n", "resident over the bare program", resident - bareResident);
    printRow("wake-ups in 2 s idle (threads)", wakeups, medianOf(bare, &Launch::idleWakeups), "",
             wakeups == 0 ? "  (goal 0: met)" : "  (goal 0: missed)");
    const double slowestPing = medianOf(ours, &Launch::slowestPingMilliseconds);
    std::printf("  %-32s %9.1f ms %s\n", "slowest D-Bus ping answer", slowestPing,
                slowestPing <= kPingGoal.count() ? "(goal 50 ms: met)" : "(goal 50 ms: missed)");
    std::printf("  %-32s %9.1f %%\n", "  pings answered after 50 ms",
                medianOf(ours, &Launch::latePingPercent));
    printRow("CPU ticks in 2 s idle", medianOf(ours, &Launch::idleCpuTicks),
             medianOf(bare, &Launch::idleCpuTicks), "", "");
    const double ended = medianOf(ours, &Launch::millisecondsToEndOnTerm);
    printRow("SIGTERM to ended", ended, medianOf(bare, &Launch::millisecondsToEndOnTerm), "ms",
             ended <= 100 ? "  (goal 100 ms: met)" : "  (goal 100 ms: missed)");
    return 0;
}
