#include "AppState.h"

#include "MenuBarItem.h"
#include "ScreenHooks.h"
#include "StatusItemVisibility.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/app/KvApp.h"
#include "foundation/app/Log.h"
#include "platform/alerts/Alert.h"
#include "store/DefaultsKeys.h"

#include <QCoreApplication>
#include <QTimer>

#include <map>

namespace kestrova {

AppState &AppState::shared() {
    // Owned by the application, so it goes before the event loop's objects do.
    static AppState *const state = new AppState(
        Environment{.isFirstLaunch = KvApp::isFirstLaunch(),
                    .ensureVisibility =
                        [](const std::shared_ptr<platform::StatusItem> &item) { ensureVisibility(item); }},
        QCoreApplication::instance());
    return *state;
}

AppState::AppState(Environment environment, QObject *parent)
    : QObject(parent)
    , m_environment(std::move(environment)) {
    checkSandboxMigration();
    // The status items are made after this object; a turn later they all exist.
    QTimer::singleShot(0, this, &AppState::runLaunchSteps);
}

AppState::~AppState() = default;

void AppState::checkSandboxMigration() {
    const auto &hasMigratedSandbox = Defaults::Keys::hasMigratedSandbox();
    if (m_environment.isFirstLaunch) {
        Defaults::set(hasMigratedSandbox, true);
        return;
    }
    if (Defaults::get(hasMigratedSandbox))
        return;
    if (Defaults::get(Defaults::Keys::folders()).empty() &&
        !Defaults::get(Defaults::Keys::rootSandboxURLBookmark()))
        return;

    // Asking the user to pick every folder again would change nothing here: access to a folder needs no
    // grant beyond its file permissions.
    log({"Folder permissions are not requested again: folder access needs no grant on this system"},
        LogType::info);
    Defaults::set(hasMigratedSandbox, true);
}

QCoro::Task<> AppState::requestFolderPermissionsAgain() {
    const auto &rootKey = Defaults::Keys::rootSandboxURLBookmark();
    if (auto root = Defaults::get(rootKey)) {
        if (co_await root->requestAgain())
            Defaults::set(rootKey, root);
    }

    const std::vector<Folder> asked = Defaults::get(Defaults::Keys::folders());
    std::map<QUuid, SandboxURLBookmark> renewed;
    for (const Folder &folder : asked) {
        const auto url = folder.urlBookmark.originalURL();
        if (!url)
            continue;
        std::optional<Error> failure;
        try {
            if (auto bookmark = co_await SandboxURLBookmark::request(*url))
                renewed.insert_or_assign(folder.id, std::move(*bookmark));
        } catch (const Error &error) {
            failure = error;
        }
        if (failure) {
            KvApp::reportError(*failure);
            co_await presentAsync(*failure, nullptr);
        }
    }

    // The panels stay open as long as the user likes; a folder edited, added or removed meanwhile keeps
    // that change, and only the bookmarks asked for are replaced.
    std::vector<Folder> current = Defaults::get(Defaults::Keys::folders());
    for (Folder &folder : current)
        if (const auto found = renewed.find(folder.id); found != renewed.end())
            folder.urlBookmark = found->second;
    Defaults::set(Defaults::Keys::folders(), current);

    const auto question = std::make_shared<platform::Alert>(makeAlert(AlertOptions{
        .title = QStringLiteral("Did you click “Allow” in all the dialogs?"),
        .buttons = {QStringLiteral("Yes"), QStringLiteral("No")},
        .defaultButtonIndex = -1,
    }));
    if (co_await platform::AlertPresenter::shared().run(question) ==
        platform::ModalResponse::alertFirstButtonReturn) {
        Defaults::set(Defaults::Keys::hasMigratedSandbox(), true);
    } else {
        // Without the flag the next launch asks again, until the user answers "Yes".
        const auto retry = std::make_shared<platform::Alert>(
            makeAlert(AlertOptions{.title = QStringLiteral("Click “OK” to try again")}));
        co_await platform::AlertPresenter::shared().run(retry);
    }
    co_await KvApp::relaunch(/*exitImmediately=*/false, /*showSettings=*/false);
}

void AppState::runLaunchSteps() {
    if (m_environment.isFirstLaunch) {
        if (const auto &showWelcomeWindow = ScreenHooks::shared().showWelcomeWindow)
            showWelcomeWindow();
    }
    const auto statusItems = statusItemRegistry();
    if (statusItems.empty() || !m_environment.ensureVisibility)
        return;
    m_environment.ensureVisibility(statusItems.front());
}

} // namespace kestrova
