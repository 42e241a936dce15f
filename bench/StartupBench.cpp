// Start of the application to all of its tray icons shown, with 10 stored folders, its resident memory after
// start and its wake-ups while idle; set against a bare Qt program that shows 10 tray icons, measured the
// same way in the same run. Both run on a private X server with a tray (Xvfb + trayer) and a session bus,
// in a throwaway home; "shown" is when the tray has mapped every icon window of the process.
//
//   kestrova_bench_startup [ROUNDS]          (the medians of ROUNDS launches each, 5 by default)
//
// Goals: start to icons under 1 s, under 80 MB resident, no wake-up while idle.
#include "BenchDesktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSystemTrayIcon>

#include <algorithm>
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

constexpr int kFolders = 10;
constexpr auto kIdleStretch = 2s;

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

struct Launch {
    double millisecondsToShown = 0;
    double residentMegabytes = 0;
    long long idleWakeups = 0;
    long long idleCpuTicks = 0;
};

// Starts `program`, waits until it has `icons` icons in the tray, reads its memory and its wake-ups over an
// idle stretch, and ends it.
std::optional<Launch> launch(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment, kestrova::bench::ProcessWindows &tray,
                             int icons) {
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
    while (Clock::now() - start < 20s && process.state() == QProcess::Running) {
        if (int(tray.mappedWindows(pid).size()) >= icons) {
            result = Launch{};
            result->millisecondsToShown =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    if (result) {
        // Settled first: the tray's embedding traffic is part of starting, not of idling.
        std::this_thread::sleep_for(500ms);
        result->residentMegabytes = kestrova::bench::residentMegabytes(pid);
        const long long switchesBefore = contextSwitches(pid);
        const long long ticksBefore = cpuTicks(pid);
        std::this_thread::sleep_for(kIdleStretch);
        result->idleWakeups = contextSwitches(pid) - switchesBefore;
        result->idleCpuTicks = cpuTicks(pid) - ticksBefore;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
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
    const QString program = QStringLiteral(KESTROVA_APPLICATION_PATH);
    const QString seed = QStringLiteral(KESTROVA_SEED_FOLDERS_PATH);
    if (!kestrova::bench::hasPrerequisites("startup bench", {program, seed}))
        return 0;

    const kestrova::bench::BenchHome benchHome;
    const QString home = benchHome.home();
    QStringList folders;
    for (int index = 0; index < kFolders; ++index) {
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
    if (!seeding.waitForFinished(20000) || seeding.exitCode() != 0) {
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
        const auto application = launch(program, {}, environment, tray, kFolders);
        const auto baseline =
            launch(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--bare-icons"), QString::number(kFolders)}, environment, tray, kFolders);
        if (!application || !baseline) {
            std::printf("startup bench: %s did not show %d tray icons within 20 s\n",
                        application ? "the bare program" : "the application", kFolders);
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
    std::printf("%d folders, median of %d launches each:\n", kFolders, rounds);
    printRow("start to all icons shown", shown, medianOf(bare, &Launch::millisecondsToShown), "ms",
             shown < 1000 ? "  (goal 1000 ms: met)" : "  (goal 1000 ms: missed)");
    printRow("resident memory after start", resident, medianOf(bare, &Launch::residentMegabytes), "MB",
             resident < 80 ? "  (goal 80 MB: met)" : "  (goal 80 MB: missed)");
    printRow("wake-ups in 2 s idle (threads)", wakeups, medianOf(bare, &Launch::idleWakeups), "",
             wakeups == 0 ? "  (goal 0: met)" : "  (goal 0: missed)");
    printRow("CPU ticks in 2 s idle", medianOf(ours, &Launch::idleCpuTicks),
             medianOf(bare, &Launch::idleCpuTicks), "", "");
    return 0;
}
