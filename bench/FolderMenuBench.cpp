// Opening a folder's menu: the listing with every row fact, the sorts and the top-level menu model, each set
// against a plain readdir + statx of the same folder measured in the same run. Then the menu as the
// application builds it (its settings: icons on, file and folder submenus with the file actions installed,
// the folder's own rows and More submenu), a file's and a subfolder's submenu opened, the whole menu shown
// by the desktop presenter (offscreen), and resident memory before the first opening and after closing.
// And the folder opened as a subfolder: until its rows are in, and how long the opening holds the main thread
// (no key or click is taken meanwhile), against one frame.
#include "menubar/FileActions.h"
#include "menubar/FolderContents.h"
#include "menubar/FolderContentsMenu.h"
#include "menubar/FolderController.h"

#include "foundation/files/FileUrl.h"
#include "platform/menus/Menu.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "store/BookmarkData.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/menus/KvMenu.h"

#include "BenchSetup.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include <dirent.h>
#include <malloc.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;

namespace {

constexpr int kRounds = 7;

// The fastest of several rounds, in milliseconds: the page cache is warm after the first.
double bestMilliseconds(const std::function<void()> &work, int rounds = kRounds) {
    double best = 1e300;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

// Runs the event loop until `condition` holds (or ten seconds pass).
void processEventsUntil(const std::function<bool()> &condition) {
    QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct PlainEntry {
    std::string name;
    struct statx status;
};

std::vector<PlainEntry> plainListing(const QByteArray &path) {
    std::vector<PlainEntry> entries;
    DIR *stream = opendir(path.constData());
    if (!stream)
        return entries;
    const int fd = dirfd(stream);
    while (const dirent *item = readdir(stream)) {
        if (item->d_name[0] == '.')
            continue;
        PlainEntry entry{item->d_name, {}};
        statx(fd, item->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &entry.status);
        entries.push_back(std::move(entry));
    }
    closedir(stream);
    return entries;
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

std::shared_ptr<platform::MenuItem> rowTitled(const platform::Menu &menu, const QString &title) {
    for (const auto &item : menu.items())
        if (item->title() == title)
            return item;
    return nullptr;
}

// Opening and closing a row's submenu, built when it opens, until its rows are in; -1 without one.
double submenuMilliseconds(const std::shared_ptr<platform::MenuItem> &row) {
    const auto submenu = row ? row->submenu() : nullptr;
    if (!submenu)
        return -1;
    return bestMilliseconds([&] {
        submenu->menuNeedsUpdate();
        submenu->menuWillOpen();
        processEventsUntil([&] { return !submenu->isAwaitingContents(); });
        submenu->menuDidClose();
        submenu->removeAllItems();
    });
}

// A subfolder of this size opened (the folder itself, listed as a subfolder is): how long the opening holds
// the main thread, during which no key or click is taken (Escape included), and how long until its rows are
// in. Both the fastest of several rounds.
struct SubfolderOpening {
    double held = 1e300;
    double rowsIn = 0;
};
SubfolderOpening openSubfolder(const QUrl &url, const std::shared_ptr<FolderController> &controller) {
    SubfolderOpening opening;
    std::vector<std::shared_ptr<platform::Menu>> built;
    opening.rowsIn = bestMilliseconds([&] {
        const auto start = std::chrono::steady_clock::now();
        auto submenu = folderContentsMenu(url, nullptr, controller);
        const std::chrono::duration<double, std::milli> held = std::chrono::steady_clock::now() - start;
        opening.held = std::min(opening.held, held.count());
        processEventsUntil([&] { return !submenu->isAwaitingContents(); });
        built.push_back(std::move(submenu));
    });
    return opening;
}

// The menu as the application opens it: built by the controller before it shows, shown by the presenter
// (offscreen: laid out and sized, not drawn on a screen), closed again.
void measureApplicationMenu(const std::shared_ptr<FolderController> &controller, double plain) {
    platform::desktop::MenuPresenter presenter;
    presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    auto menu = KvMenu::create();
    // Built as the status item does: emptied and filled before every opening.
    menu->setOnUpdate([&] {
        menu->removeAllItems();
        controller->buildMenu(*menu);
    });
    // What the timings above freed is given back first, so the figure is this menu's own.
    malloc_trim(0);
    const double residentBefore = residentMegabytes();
    double residentOpen = 0;
    const auto openAndClose = [&] {
        QMenu *shown = presenter.popup(menu, QPoint(0, 0));
        processEventsUntil([shown] { return shown->isVisible(); });
        // With its rows: they come once the folder is listed, and the shown menu takes them a turn later.
        processEventsUntil([&] { return !menu->isAwaitingContents(); });
        QCoreApplication::processEvents();
        residentOpen = std::max(residentOpen, residentMegabytes());
        presenter.close();
        processEventsUntil([&] { return !presenter.isOpen(); });
    };
    // Fewer rounds: showing the largest menus takes seconds.
    const double presented = bestMilliseconds(openAndClose, /*rounds=*/3);
    // The closed menu gives its rows back on later turns of the event loop.
    processEventsUntil([&] { return menu->isEmpty(); });
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents();
    const double residentAfter = residentMegabytes();

    std::size_t rows = 0;
    const double built = bestMilliseconds([&] {
        menu->removeAllItems();
        controller->buildMenu(*menu);
        processEventsUntil([&] { return !menu->isAwaitingContents(); });
        rows = menu->numberOfItems();
    });
    // One file's and one subfolder's submenu, built when they open.
    const auto file = rowTitled(*menu, QStringLiteral("Entry 1.png"));
    const auto folder = rowTitled(*menu, QStringLiteral("Entry 20"));
    const double fileSubmenu = submenuMilliseconds(file);
    const double folderSubmenu = submenuMilliseconds(folder);
    menu->removeAllItems();

    std::printf(
        "    application menu       %8.2f ms  ratio %5.2f  (%zu rows, icons, file and folder submenus)\n",
        built, built / plain, rows);
    std::printf("    a file's submenu       %8.2f ms\n", fileSubmenu);
    std::printf("    a subfolder's submenu  %8.2f ms\n", folderSubmenu);
    std::printf("    presented and closed   %8.2f ms  ratio %5.2f\n", presented, presented / plain);
    std::printf("    resident memory        %8.1f MB before, %.1f MB open, %.1f MB after closing: "
                "after/before %.2f%s\n",
                residentBefore, residentOpen, residentAfter, residentAfter / residentBefore,
                residentAfter <= residentBefore * 1.10 ? "  (goal 1.10: met)" : "  (goal 1.10: missed)");
}

void measure(int count) {
    QTemporaryDir directory;
    bench::fillFolder(directory.path(), count);
    const QByteArray path = QFile::encodeName(directory.path());
    const QUrl url = url::fromLocalPath(path, /*isDirectory=*/true);

    const bench::BenchFolder benchFolder(url);
    const auto &controller = benchFolder.controller;

    std::size_t listed = 0;
    const double plain = bestMilliseconds([&] { listed = plainListing(path).size(); });
    const double listing = bestMilliseconds([&] { folderContents(url, {}); });
    const auto entries = folderContents(url, {});
    const double sortByName = bestMilliseconds([&] {
        auto copy = entries;
        sortFolderEntries(copy, Folder::SortOrder::name, /*keepFoldersOnTop=*/true);
    });
    const double sortByDate = bestMilliseconds([&] {
        auto copy = entries;
        sortFolderEntries(copy, Folder::SortOrder::dateModified, /*keepFoldersOnTop=*/true);
    });
    std::size_t rows = 0;
    // Menus are released after the timing: closing a menu is not part of opening it.
    std::vector<std::shared_ptr<KvMenu>> built;
    const double wholeMenu = bestMilliseconds([&] {
        auto menu = KvMenu::create();
        folderContentsMenu(url, menu.get(), controller);
        processEventsUntil([&] { return !menu->isAwaitingContents(); });
        rows = menu->numberOfItems();
        built.push_back(std::move(menu));
    });
    built.clear();
    const double model = std::max(0.0, wholeMenu - listing - sortByName);

    std::printf("%6d entries (%zu listed, %zu rows): plain readdir+statx %8.2f ms\n", count, listed, rows,
                plain);
    std::printf("    listing with prefetch  %8.2f ms  ratio %5.2f\n", listing, listing / plain);
    std::printf("    sort by name           %8.2f ms  ratio %5.2f\n", sortByName, sortByName / plain);
    std::printf("    sort by date modified  %8.2f ms  ratio %5.2f\n", sortByDate, sortByDate / plain);
    std::printf("    top-level menu model   %8.2f ms  ratio %5.2f\n", model, model / plain);
    std::printf("    listing + sort + model %8.2f ms  ratio %5.2f%s\n", wholeMenu, wholeMenu / plain,
                count == 10000 ? (wholeMenu / plain <= 3.0 ? "  (goal 3.00: met)" : "  (goal 3.00: missed)")
                               : "");
    const SubfolderOpening opening = openSubfolder(url, controller);
    std::printf(
        "    as a subfolder: rows in %8.2f ms  ratio %5.2f; the opening holds the main thread %8.3f ms%s\n",
        opening.rowsIn, opening.rowsIn / plain, opening.held,
        opening.held <= 16.0 ? "  (goal 16 ms: met)" : "  (goal 16 ms: missed)");
    measureApplicationMenu(controller, plain);
}

} // namespace

int main(int argc, char **argv) {
    QTemporaryDir home;
    bench::useThrowawayHome(home);
    QApplication application(argc, argv);
    // The application's own menu settings (also its defaults): icons, file and folder submenus with the
    // file actions.
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);
    Defaults::set(Defaults::Keys::showFileAndDirectorySubmenu(), true);
    installFileActions();
    // Other sizes may be given as arguments.
    std::vector<int> counts{1000, 10000, 50000};
    if (argc > 1) {
        counts.clear();
        for (int index = 1; index < argc; ++index)
            counts.push_back(std::atoi(argv[index]));
    }
    for (const int count : counts)
        measure(count);
    return 0;
}
