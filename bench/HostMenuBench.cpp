// A tray host reading a long folder menu over the bus, as the hosts of Wayland sessions do: the longest
// time the application's event loop was held (no ping, no other item answered meanwhile) while the host
// reads the whole menu (GetLayout of the root with every row), and while it opens that menu and the
// exporter checks it for changes once the host's lease has ended, and while a menu the host read is listed
// afresh with every row changed. Against a baseline in the same run: the same loop and bus while a host
// reads a menu of ten rows. Also how long the host waits for its answer. The menu is the application's own
// folder menu (icons, file and folder submenus), built by the folder's controller as the status item builds
// it; the relisted one is of plain rows. Runs on the offscreen platform, on a private bus. And the memory
// the application keeps for a menu the host read: the rows stay choosable while the host may show them.
#include "menubar/FileActions.h"
#include "menubar/FolderController.h"

#include "foundation/files/FileUrl.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/testing/PrivateSessionBus.h"
#include "store/BookmarkData.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/menus/KvMenu.h"

#include "BenchDesktop.h"
#include "BenchSetup.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;
using platform::desktop::DBusMenuExporter;

namespace {

const QString kInterface = QStringLiteral("com.canonical.dbusmenu");
const QString kPath = QStringLiteral("/MenuBar");
constexpr int kRounds = 3;
constexpr double kFrameMilliseconds = 16.0;

// Notes the longest gap between turns of the main thread's event loop while it runs.
class StallWatch {
public:
    StallWatch() {
        m_ticks.setTimerType(Qt::PreciseTimer);
        m_ticks.setInterval(1);
        QObject::connect(&m_ticks, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.nsecsElapsed());
            m_clock.restart();
        });
    }
    void start() {
        m_longest = 0;
        m_clock.start();
        m_ticks.start();
    }
    double stop() {
        m_ticks.stop();
        m_longest = std::max(m_longest, m_clock.nsecsElapsed());
        return double(m_longest) / 1e6;
    }

private:
    QTimer m_ticks;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

// A host on a thread of its own, calling the exporter and waiting for each answer as hosts do.
class Host : public QThread {
public:
    Host(QString address, QString service, std::vector<std::pair<QString, QVariantList>> calls)
        : m_address(std::move(address))
        , m_service(std::move(service))
        , m_calls(std::move(calls)) {}

    std::atomic<bool> finished = false;
    double waitedMilliseconds = 0;
    int rows = -1;

protected:
    void run() override {
        const QString name = QStringLiteral("host-%1").arg(quintptr(this));
        {
            QDBusConnection connection = QDBusConnection::connectToBus(m_address, name);
            QElapsedTimer clock;
            clock.start();
            for (const auto &[method, arguments] : m_calls) {
                QDBusMessage call = QDBusMessage::createMethodCall(m_service, kPath, kInterface, method);
                call.setArguments(arguments);
                const QDBusMessage reply = connection.call(call, QDBus::Block, 120000);
                if (reply.type() == QDBusMessage::ErrorMessage)
                    std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(reply.errorMessage()));
                if (method == QLatin1String("GetLayout") && reply.arguments().size() == 2) {
                    waitedMilliseconds = double(clock.nsecsElapsed()) / 1e6;
                    const auto layout =
                        qdbus_cast<platform::desktop::DBusMenuLayoutItem>(reply.arguments().value(1));
                    rows = int(layout.children.size());
                }
            }
        }
        QDBusConnection::disconnectFromBus(name);
        finished = true;
    }

private:
    QString m_address;
    QString m_service;
    std::vector<std::pair<QString, QVariantList>> m_calls;
};

struct Reading {
    double stall = 0;
    double waited = 0;
    int rows = 0;
};

// Runs the host's calls and the event loop until the host has its answers, and `after` more.
Reading run(const QString &address, const QDBusConnection &connection,
            std::vector<std::pair<QString, QVariantList>> calls, int afterMilliseconds = 0) {
    Host host(address, connection.baseService(), std::move(calls));
    StallWatch watch;
    watch.start();
    host.start();
    while (!host.finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer after;
    after.start();
    while (after.elapsed() < afterMilliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double stall = watch.stop();
    host.wait();
    return {stall, host.waitedMilliseconds, host.rows};
}

// The process's own resident memory in MB, once what was freed has had time to go back.
double settledMegabytes() {
    // The loop waits for events as the application's does when nothing happens, which is when freed
    // memory goes back.
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit);
    settle.exec();
    return bench::anonymousResidentMegabytes(QCoreApplication::applicationPid());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const std::vector<std::pair<QString, QVariantList>> &readCalls() {
    static const std::vector<std::pair<QString, QVariantList>> calls{
        {QStringLiteral("GetLayout"), {0, -1, QStringList()}}};
    return calls;
}

// The host opens the menu it read and leaves it; the exporter closes it after the lease and looks for
// changes.
const std::vector<std::pair<QString, QVariantList>> &openCalls() {
    static const std::vector<std::pair<QString, QVariantList>> calls{
        {QStringLiteral("AboutToShow"), {0}},
        {QStringLiteral("GetLayout"), {0, -1, QStringList()}},
        {QStringLiteral("Event"), {0, QStringLiteral("opened"), QVariant::fromValue(QDBusVariant(0)), 0u}}};
    return calls;
}

// The rows a small menu has, for the baseline.
std::shared_ptr<platform::Menu> smallMenu() {
    auto menu = KvMenu::create();
    for (int row = 0; row < 10; ++row)
        menu->addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Row %1").arg(row)));
    return menu;
}

void measure(const QString &address, int count, double baseline) {
    QTemporaryDir directory;
    bench::fillFolder(directory.path(), count);
    const QUrl url = url::fromLocalPath(QFile::encodeName(directory.path()), /*isDirectory=*/true);
    const bench::BenchFolder benchFolder(url);
    const auto &controller = benchFolder.controller;

    std::vector<double> readStalls, waits, openStalls, kept, left;
    int rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        const QString name = QStringLiteral("application-%1-%2").arg(count).arg(round);
        QDBusConnection connection = QDBusConnection::connectToBus(address, name);
        const double before = settledMegabytes();
        {
            // Built as the status item builds it: emptied and filled before every opening.
            auto menu = KvMenu::create();
            menu->setOnUpdate([&] {
                menu->removeAllItems();
                controller->buildMenu(*menu);
            });
            DBusMenuExporter exporter(connection, kPath, [&]() -> std::shared_ptr<platform::Menu> {
                if (!menu->isOpen() && menu->isEmpty())
                    menu->menuNeedsUpdate();
                return menu;
            });
            const Reading read = run(address, connection, readCalls());
            readStalls.push_back(read.stall);
            waits.push_back(read.waited);
            rows = read.rows;
            // Past the lease: the exporter closes the menu and checks what the host shows.
            const auto lease = int(DBusMenuExporter::kHostMenuLease.count());
            openStalls.push_back(run(address, connection, openCalls(), lease + 300).stall);
            kept.push_back(settledMegabytes() - before);
        }
        left.push_back(settledMegabytes() - before);
        QDBusConnection::disconnectFromBus(name);
    }
    const double read = median(readStalls);
    const double opened = median(openStalls);
    std::printf("%7d entries (%d rows read): host waits %8.1f ms for the layout\n", count, rows,
                median(waits));
    std::printf("    longest stall while the host reads   %8.2f ms  ratio %6.2f%s\n", read, read / baseline,
                read <= kFrameMilliseconds ? "  (goal 16 ms: met)" : "  (goal 16 ms: missed)");
    std::printf("    longest stall, opened + change check %8.2f ms  ratio %6.2f%s\n", opened,
                opened / baseline,
                opened <= kFrameMilliseconds ? "  (goal 16 ms: met)" : "  (goal 16 ms: missed)");
    const double keeps = median(kept);
    std::printf(
        "    memory kept while the host may show it %6.1f MB (%.2f KB a row), %.1f MB once it is gone\n",
        keeps, keeps * 1024.0 / std::max(rows, 1), median(left));
}

// A menu of `count` rows the host read, listed afresh with every row changed (a folder whose every entry
// was renamed, or shown with pictures of another size): the longest stall while the exporter tells the
// host.
void measureRelisted(const QString &address, int count, double baseline) {
    const auto made = [count](const QString &prefix) {
        std::vector<std::shared_ptr<platform::MenuItem>> rows;
        rows.reserve(std::size_t(count));
        for (int row = 0; row < count; ++row)
            rows.push_back(std::make_shared<platform::MenuItem>(prefix + QString::number(row)));
        return rows;
    };
    std::vector<double> stalls;
    for (int round = 0; round < kRounds; ++round) {
        const QString name = QStringLiteral("relisted-%1-%2").arg(count).arg(round);
        QDBusConnection connection = QDBusConnection::connectToBus(address, name);
        {
            auto menu = KvMenu::create();
            menu->setItems(made(QStringLiteral("before ")));
            DBusMenuExporter exporter(connection, kPath, menu);
            run(address, connection, readCalls());
            // The new items are the model's own, made before it changes: what is timed is the change.
            auto changed = made(QStringLiteral("after "));
            StallWatch watch;
            watch.start();
            menu->setItems(std::move(changed));
            menu->menuNeedsUpdate();
            QElapsedTimer after;
            after.start();
            while (after.elapsed() < 300)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            stalls.push_back(watch.stop());
        }
        QDBusConnection::disconnectFromBus(name);
    }
    const double stall = median(stalls);
    std::printf(
        "%7d rows read, then every row changed: longest stall telling the host %8.2f ms  ratio %6.2f%s\n",
        count, stall, stall / baseline,
        stall <= kFrameMilliseconds ? "  (goal 16 ms: met)" : "  (goal 16 ms: missed)");
}

double measureBaseline(const QString &address) {
    std::vector<double> stalls;
    for (int round = 0; round < kRounds; ++round) {
        const QString name = QStringLiteral("baseline-%1").arg(round);
        QDBusConnection connection = QDBusConnection::connectToBus(address, name);
        {
            const auto menu = smallMenu();
            DBusMenuExporter exporter(connection, kPath, menu);
            stalls.push_back(run(address, connection, readCalls(), 200).stall);
        }
        QDBusConnection::disconnectFromBus(name);
    }
    const double baseline = median(stalls);
    std::printf("baseline: longest stall while a host reads a menu of 10 rows %8.2f ms\n", baseline);
    return std::max(baseline, 0.001);
}

} // namespace

int main(int argc, char **argv) {
    QTemporaryDir home;
    bench::useThrowawayHome(home);
    QApplication application(argc, argv);
    platform::desktop::registerDBusMenuTypes();
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);
    Defaults::set(Defaults::Keys::showFileAndDirectorySubmenu(), true);
    installFileActions();
    testing::PrivateSessionBus bus;
    if (bus.address().isEmpty()) {
        std::fprintf(stderr, "dbus-daemon did not start\n");
        return 1;
    }
    // Other sizes may be given as arguments.
    std::vector<int> counts{50000, 200000};
    if (argc > 1) {
        counts.clear();
        for (int index = 1; index < argc; ++index)
            counts.push_back(std::atoi(argv[index]));
    }
    const double baseline = measureBaseline(bus.address());
    for (const int count : counts)
        measure(bus.address(), count, baseline);
    for (const int count : counts)
        measureRelisted(bus.address(), count, baseline);
    return 0;
}
