#include "Workspace.h"

#include <mutex>

namespace kestrova::platform {

namespace {

class NoDesktopWorkspace final : public Workspace {
public:
    WorkspaceResult open(const QUrl &) override { return refuse(); }
    WorkspaceResult reveal(const QUrl &) override { return refuse(); }
    WorkspaceResult showProperties(const QUrl &) override { return refuse(); }
    WorkspaceResult moveToTrash(const QUrl &) override { return refuse(); }

private:
    static WorkspaceResult refuse() {
        return WorkspaceResult::failed(QStringLiteral("There is no desktop to hand files to."));
    }
};

struct SharedWorkspace {
    std::mutex mutex;
    std::shared_ptr<Workspace> workspace = std::make_shared<NoDesktopWorkspace>();
};

SharedWorkspace &sharedWorkspace() {
    static SharedWorkspace shared;
    return shared;
}

} // namespace

Workspace &Workspace::shared() {
    auto &shared = sharedWorkspace();
    std::lock_guard lock(shared.mutex);
    return *shared.workspace;
}

void Workspace::setShared(std::shared_ptr<Workspace> workspace) {
    auto &shared = sharedWorkspace();
    std::lock_guard lock(shared.mutex);
    shared.workspace = workspace ? std::move(workspace) : std::make_shared<NoDesktopWorkspace>();
}

} // namespace kestrova::platform
