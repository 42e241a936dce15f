#pragma once

#include "menubar/FolderContents.h"
#include "menubar/FolderContentsLoader.h"
#include "menubar/FolderController.h"
#include "menubar/FolderMenuHooks.h"
#include "menubar/ScreenHooks.h"

#include "foundation/files/FileUrl.h"
#include "platform/menus/Menu.h"
#include "platform/observation/Binding.h"
#include "platform/testing/EventLoop.h"
#include "store/BookmarkData.h"
#include "store/Defaults.h"
#include "store/DefaultsKeys.h"
#include "ui-kit/utilities/LimitedAppRuns.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>

namespace kestrova::testing {

// A real temporary folder stored as a menu-bar folder, with its controller. Tips are finished so that dumps
// show only the rows under test, and the hooks are reset for every test (with a stand-in configuration
// window).
class FolderMenuFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_directory.isValid());
        for (const char *tip : {"tip_folderMenu_clickToOpen", "tip_folderMenu_optionModifierToRevealActions",
                                "tip_previewMenu_pressOptionKey6"})
            LimitedAppRuns::shared().finish(QString::fromLatin1(tip));
        FolderMenuHooks::setShared({});
        // A build with configuration windows, so that "Configure Folder…" is offered.
        ScreenHooks::setShared(
            {.showFolderConfiguration = [](platform::Binding<Folder>, std::function<void()>) {
                return std::make_shared<QObject>();
            }});
        Defaults::set(Defaults::Keys::showIconsInMenu(), false);
        folder = Folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(url())));
        folders = {folder};
        controller = FolderController::create(
            platform::Binding<Folder>([this] { return folder; },
                                      [this](const Folder &value) { folder = value; }),
            platform::Binding<std::vector<Folder>>(
                [this] { return folders; }, [this](const std::vector<Folder> &value) { folders = value; }));
    }
    void TearDown() override {
        controller.reset();
        FolderMenuHooks::setShared({});
        ScreenHooks::setShared({});
        Defaults::Keys::subfolderSortOrder().reset();
        Defaults::Keys::showIconsInMenu().reset();
        Defaults::Keys::showFileAndDirectorySubmenu().reset();
        Defaults::Keys::rootSandboxURLBookmark().reset();
        Defaults::Keys::folders().reset();
    }

    // Waits for the rows of a menu whose listing had not ended when it was built.
    static void waitForRows(const platform::Menu &menu) {
        ASSERT_TRUE(processEventsUntil([&] { return !menu.isAwaitingContents(); }))
            << qPrintable(menu.dump());
    }
    // Opens a submenu as a presenter does and waits for its rows.
    static void openListed(platform::Menu &menu) {
        menu.menuWillOpen();
        waitForRows(menu);
    }
    // Lists the folder as a click does before its menu opens, so that the menu is built with its rows.
    void prepareListing() {
        ASSERT_TRUE(processEventsUntil([this] { return controller->prepareMenu(); }));
    }

    QString path(const QString &name) const { return m_directory.filePath(name); }
    QUrl url() const {
        return url::fromLocalPath(QFile::encodeName(m_directory.path()), /*isDirectory=*/true);
    }
    QUrl url(const QString &name) const {
        return url::fromLocalPath(QFile::encodeName(path(name)), QFileInfo(path(name)).isDir());
    }

    // A file with `contents`, modified `ageSeconds` ago.
    void makeFile(const QString &name, qint64 ageSeconds = 0, const QByteArray &contents = "x") const {
        makeFileAt(QFile::encodeName(path(name)), ageSeconds, contents);
    }
    static void makeFileAt(const QByteArray &filePath, qint64 ageSeconds = 0,
                           const QByteArray &contents = "x") {
        const int fd = ::open(filePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << filePath.constData();
        ASSERT_EQ(::write(fd, contents.constData(), std::size_t(contents.size())), contents.size());
        ::close(fd);
        setAge(filePath, ageSeconds);
    }
    void makeFolder(const QString &name, qint64 ageSeconds = 0) const {
        ASSERT_TRUE(QDir().mkpath(path(name)));
        setAge(QFile::encodeName(path(name)), ageSeconds);
    }
    static void setAge(const QByteArray &filePath, qint64 ageSeconds) {
        const timespec now{std::time(nullptr) - ageSeconds, 0};
        const timespec times[2] = {now, now};
        ASSERT_EQ(utimensat(AT_FDCWD, filePath.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }

    QTemporaryDir m_directory;
    Folder folder;
    std::vector<Folder> folders;
    std::shared_ptr<FolderController> controller;
};

// A directory on a file system that stops answering: listing a directory whose path ends with `suffix`
// blocks once it is open, before its entries are read, until release(). Releases on destruction and waits
// for the blocked listings to end, so that no worker outlives the test's folders and faults.
class StalledDirectories {
public:
    explicit StalledDirectories(QByteArray suffix)
        : m_state(std::make_shared<State>()) {
        FolderListingFaults::setShared(
            {.didOpenDirectory = [state = m_state, suffix = std::move(suffix)](const QByteArray &directory) {
                if (!directory.endsWith(suffix))
                    return;
                std::unique_lock lock(state->mutex);
                ++state->blockedCount;
                state->condition.wait(lock, [&] { return state->isReleased; });
            }});
    }
    ~StalledDirectories() {
        release();
        EXPECT_TRUE(processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
        FolderListingFaults::setShared({});
    }
    StalledDirectories(const StalledDirectories &) = delete;
    StalledDirectories &operator=(const StalledDirectories &) = delete;

    void release() {
        {
            const std::lock_guard lock(m_state->mutex);
            m_state->isReleased = true;
        }
        m_state->condition.notify_all();
    }
    // How many listings reached the stalled directory.
    int blockedCount() const {
        const std::lock_guard lock(m_state->mutex);
        return m_state->blockedCount;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable condition;
        bool isReleased = false;
        int blockedCount = 0;
    };
    std::shared_ptr<State> m_state;
};

// A shorter time limit for listings, for the scope.
class ScopedListingTimeLimit {
public:
    explicit ScopedListingTimeLimit(std::chrono::milliseconds limit) {
        FolderContentsLoader::setTimeLimit(limit);
    }
    ~ScopedListingTimeLimit() { FolderContentsLoader::setTimeLimit(FolderContentsLoader::kDefaultTimeLimit); }
    ScopedListingTimeLimit(const ScopedListingTimeLimit &) = delete;
    ScopedListingTimeLimit &operator=(const ScopedListingTimeLimit &) = delete;
};

} // namespace kestrova::testing
