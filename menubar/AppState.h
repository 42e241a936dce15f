#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

#include <functional>
#include <memory>

namespace kestrova {

namespace platform {
class StatusItem;
}

// The application's launch work, run once per process: the bookkeeping of the folder-permission
// migration at once, then, one turn of the main event loop later (when the status items exist), the
// welcome window on the first launch and the visibility hint for the first live status item.
//
// The migration asked earlier versions on another platform to pick every stored folder again. A folder
// picked here stays readable without any grant, so there is nothing to migrate: a launch that would have
// asked only records that it is done. The re-request flow itself is kept as requestFolderPermissionsAgain
// and is not started at launch. Main thread only.
class AppState : public QObject {
    Q_OBJECT

public:
    // What the launch work reads; tests give their own.
    struct Environment {
        bool isFirstLaunch = false;
        // Starts the visibility hint for a status item.
        std::function<void(const std::shared_ptr<platform::StatusItem> &)> ensureVisibility;
    };

    // The running application's, created on first use (with the kit's launch facts, so after KvKit).
    static AppState &shared();

    // Runs checkSandboxMigration and queues runLaunchSteps for the next turn of the main event loop.
    explicit AppState(Environment environment, QObject *parent = nullptr);
    ~AppState() override;
    Q_DISABLE_COPY_MOVE(AppState)

    // Marks the migration done on the first launch, and on a later launch that has stored folders or a
    // stored root folder; leaves the flag alone when nothing is stored, so that a later launch looks again.
    void checkSandboxMigration();

    // Asks for the root folder and then every stored folder again, stores the new bookmarks and asks
    // whether the user allowed them all: "Yes" marks the migration done, "No" asks to try again; both end
    // in a relaunch. Folders edited meanwhile keep their edits; only their bookmarks are replaced.
    static QCoro::Task<> requestFolderPermissionsAgain();

    // The welcome window on the first launch, then the visibility hint for the first live status item;
    // nothing when there is none (and nothing retries).
    void runLaunchSteps();

private:
    Environment m_environment;
};

} // namespace kestrova
