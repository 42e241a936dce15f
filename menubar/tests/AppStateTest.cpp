#include "menubar/AppState.h"

#include "menubar/MenuBarItem.h"
#include "menubar/ScreenHooks.h"

#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeStatusBar.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/BookmarkData.h"
#include "store/DefaultsKeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::platform::ModalResponse::alertFirstButtonReturn;
using kestrova::platform::ModalResponse::alertSecondButtonReturn;
using kestrova::testing::processEventsUntil;

namespace {

MenuBarItem namedItem(const QString &id) {
    MenuBarItem item;
    item.id = id;
    return item;
}

class AppStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_savedHooks = ScreenHooks::shared();
        ScreenHooks hooks = m_savedHooks;
        hooks.showWelcomeWindow = [this] { ++m_welcomeWindows; };
        ScreenHooks::setShared(hooks);
    }
    void TearDown() override {
        ScreenHooks::setShared(m_savedHooks);
        Defaults::Keys::hasMigratedSandbox().reset();
        Defaults::Keys::folders().reset();
        Defaults::Keys::rootSandboxURLBookmark().reset();
    }

    AppState::Environment environment(bool isFirstLaunch) {
        return {.isFirstLaunch = isFirstLaunch,
                .ensureVisibility = [this](const auto &item) { m_hinted.push_back(item); }};
    }
    static bool storedFlag() {
        const auto stored = platform::UserDefaults::standard()->object(QStringLiteral("hasMigratedSandbox"));
        return stored && stored->getIf<bool>() && *stored->getIf<bool>();
    }
    static bool flagIsStored() {
        // Written, not only registered.
        return platform::UserDefaults::standard()->persistentDomain().contains(
            QStringLiteral("hasMigratedSandbox"));
    }
    Folder makeFolder(const QString &name) {
        QDir(m_root.path()).mkpath(name);
        // Read-only data, so that a bookmark made again of the same folder differs from it.
        return Folder(
            QUuid::createUuid(),
            SandboxURLBookmark(BookmarkData::create(
                url::fromLocalPath(QFile::encodeName(QDir(m_root.filePath(name)).canonicalPath()),
                                   /*isDirectory=*/true),
                BookmarkData::kWithSecurityScope | BookmarkData::kSecurityScopeAllowOnlyReadAccess)));
    }

    kestrova::testing::ScopedFakeStatusBar m_bar;
    kestrova::testing::ScopedScriptedPresenters m_presenters;
    QTemporaryDir m_root;
    ScreenHooks m_savedHooks;
    int m_welcomeWindows = 0;
    std::vector<std::shared_ptr<platform::StatusItem>> m_hinted;
};

TEST_F(AppStateTest, FirstLaunchMarksTheMigrationThenWelcomesAndHintsTheFirstItem) {
    Defaults::set(Defaults::Keys::folders(), {makeFolder(QStringLiteral("a"))});
    MenuBarItemCoordinator first(namedItem(QStringLiteral("first")));
    AppState state(environment(/*isFirstLaunch=*/true));
    // Made after the state, as at start-up: the launch steps still find it.
    MenuBarItemCoordinator second(namedItem(QStringLiteral("second")));

    EXPECT_TRUE(storedFlag());
    // The rest waits for the next turn.
    EXPECT_EQ(m_welcomeWindows, 0);
    EXPECT_TRUE(m_hinted.empty());

    ASSERT_TRUE(processEventsUntil([&] { return m_welcomeWindows == 1 && !m_hinted.empty(); }));
    ASSERT_EQ(m_hinted.size(), 1u);
    EXPECT_EQ(m_hinted.front(), first.statusItem());
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());
    EXPECT_TRUE(m_presenters.openPanels().shownPanels().empty());
}

TEST_F(AppStateTest, LaterLaunchMarksTheMigrationOnlyWhenSomethingIsStored) {
    {
        // Nothing stored: the flag stays unset, so a later launch looks again; no status item, no hint.
        auto gone = std::make_unique<MenuBarItemCoordinator>(MenuBarItem());
        AppState state(environment(/*isFirstLaunch=*/false));
        gone.reset();
        EXPECT_FALSE(flagIsStored());
        // Nothing to wait for but the turn itself; a first-launch state queued after it tells when it is
        // over.
        AppState witness(environment(/*isFirstLaunch=*/true));
        ASSERT_TRUE(processEventsUntil([&] { return m_welcomeWindows == 1; }));
        EXPECT_TRUE(m_hinted.empty());
        Defaults::Keys::hasMigratedSandbox().reset();
    }

    // A stored root folder alone counts; no one is asked.
    const Folder root = makeFolder(QStringLiteral("root"));
    Defaults::set(Defaults::Keys::rootSandboxURLBookmark(), std::optional(root.urlBookmark));
    {
        AppState state(environment(/*isFirstLaunch=*/false));
        EXPECT_TRUE(storedFlag());
    }
    EXPECT_EQ(Defaults::get(Defaults::Keys::rootSandboxURLBookmark()), root.urlBookmark);

    // Stored folders count, and stay as they are.
    Defaults::Keys::hasMigratedSandbox().reset();
    Defaults::Keys::rootSandboxURLBookmark().reset();
    const std::vector<Folder> folders{makeFolder(QStringLiteral("a")), makeFolder(QStringLiteral("b"))};
    Defaults::set(Defaults::Keys::folders(), folders);
    {
        AppState state(environment(/*isFirstLaunch=*/false));
        EXPECT_TRUE(storedFlag());
    }
    EXPECT_EQ(Defaults::get(Defaults::Keys::folders()), folders);
    EXPECT_TRUE(m_presenters.alerts().shownAlerts().empty());
    EXPECT_TRUE(m_presenters.openPanels().shownPanels().empty());
}

// Edits the stored list while the first panel is open, as the configuration window could.
class EditingOpenPanelPresenter : public kestrova::testing::ScriptedOpenPanelPresenter {
public:
    std::function<void()> whileOpen;
    int runModal(platform::OpenPanel &panel, QWindow *window) override {
        if (auto edit = std::exchange(whileOpen, nullptr))
            edit();
        return ScriptedOpenPanelPresenter::runModal(panel, window);
    }
};

TEST_F(AppStateTest, RequestingAgainRenewsGrantedBookmarksAndRelaunches) {
    const auto savedOperations = KvApp::relaunchOperations();
    int relaunches = 0;
    KvApp::setRelaunchOperations({.startProcess = [&](const QString &, const QStringList &) { return true; },
                                  .openApplication = [&](const QUrl &) { return true; },
                                  .terminate = [&] { ++relaunches; },
                                  .exitNow = [&](int) { ++relaunches; }});
    const auto panels = std::make_shared<EditingOpenPanelPresenter>();
    platform::OpenPanelPresenter::setShared(panels);

    const Folder a = makeFolder(QStringLiteral("a"));
    const Folder b = makeFolder(QStringLiteral("b"));
    const Folder added = makeFolder(QStringLiteral("added"));
    Defaults::set(Defaults::Keys::folders(), {a, b});
    panels->whileOpen = [&] {
        Defaults::mutate(Defaults::Keys::folders(), [&](std::vector<Folder> &folders) {
            folders[1].customTitle = QStringLiteral("Renamed");
            folders.push_back(added);
        });
    };
    // The first folder is granted, the second cancelled; then "No" and "OK".
    panels->choose({*a.urlBookmark.originalURL()});
    panels->cancel();
    m_presenters.alerts().answer(alertSecondButtonReturn);
    m_presenters.alerts().answer(alertFirstButtonReturn);
    kestrova::testing::awaitTask(AppState::requestFolderPermissionsAgain());

    EXPECT_EQ(panels->shownPanels().size(), 2u);
    const auto stored = Defaults::get(Defaults::Keys::folders());
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_NE(stored[0].urlBookmark, a.urlBookmark);
    EXPECT_EQ(stored[0].urlBookmark.url(), a.urlBookmark.url());
    EXPECT_EQ(stored[1].urlBookmark, b.urlBookmark);
    EXPECT_EQ(stored[1].customTitle, QStringLiteral("Renamed"));
    EXPECT_EQ(stored[2].id, added.id);

    const auto &alerts = m_presenters.alerts().shownAlerts();
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[0].messageText, QStringLiteral("Did you click “Allow” in all the dialogs?"));
    ASSERT_EQ(alerts[0].buttons.size(), 2u);
    EXPECT_TRUE(alerts[0].buttons[0].keyEquivalent.isEmpty());
    EXPECT_EQ(alerts[1].messageText, QStringLiteral("Click “OK” to try again"));
    EXPECT_FALSE(flagIsStored());
    EXPECT_EQ(relaunches, 1);

    // "Yes" marks the migration done before the relaunch; no folder left unasked here.
    Defaults::set(Defaults::Keys::folders(), {});
    m_presenters.alerts().answer(alertFirstButtonReturn);
    kestrova::testing::awaitTask(AppState::requestFolderPermissionsAgain());
    EXPECT_TRUE(storedFlag());
    EXPECT_EQ(relaunches, 2);

    KvApp::setRelaunchOperations(savedOperations);
}

} // namespace
