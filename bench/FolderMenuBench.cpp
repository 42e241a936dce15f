// Opening a folder's menu: the listing with every row fact, the sorts and the top-level menu model, each set
// against a plain readdir + statx of the same folder measured in the same run.
#include "menubar/FolderContents.h"
#include "menubar/FolderContentsMenu.h"
#include "menubar/FolderController.h"

#include "foundation/FileUrl.h"
#include "platform/Menu.h"
#include "store/BookmarkData.h"
#include "ui-kit/menus/KvMenu.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrova;

namespace {

constexpr int kRounds = 7;

// The fastest of several rounds, in milliseconds: the page cache is warm after the first.
double bestMilliseconds(const std::function<void()> &work) {
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
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

void fill(const QString &directory, int count) {
    static const char *const extensions[] = {".txt", ".png", ".pdf", ".md", ".cpp", ".jpg", ""};
    for (int index = 0; index < count; ++index) {
        const QString name = QStringLiteral("%1/Entry %2%3")
                                 .arg(directory)
                                 .arg(index)
                                 .arg(QLatin1String(extensions[index % 7]));
        if (index % 20 == 0) {
            mkdir(QFile::encodeName(name).constData(), 0755);
            continue;
        }
        const int fd = open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        close(fd);
    }
}

void measure(int count) {
    QTemporaryDir directory;
    fill(directory.path(), count);
    const QByteArray path = QFile::encodeName(directory.path());
    const QUrl url = url::fromLocalPath(path, /*isDirectory=*/true);

    Folder folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(url)));
    std::vector<Folder> folders{folder};
    const auto controller = FolderController::create(
        platform::Binding<Folder>([&] { return folder; }, [&](const Folder &value) { folder = value; }),
        platform::Binding<std::vector<Folder>>([&] { return folders; },
                                               [&](const std::vector<Folder> &value) { folders = value; }));

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
}

} // namespace

int main(int argc, char **argv) {
    // Settings and icon caches of a throwaway home, never the user's.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/share")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.cache")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
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
