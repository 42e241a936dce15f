#include "Workspace.h"

#include "platform/SharedService_p.h"

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

SharedService<Workspace, NoDesktopWorkspace> &sharedWorkspace() {
    static SharedService<Workspace, NoDesktopWorkspace> shared;
    return shared;
}

} // namespace

Workspace &Workspace::shared() {
    return sharedWorkspace().get();
}

void Workspace::setShared(std::shared_ptr<Workspace> workspace) {
    sharedWorkspace().set(std::move(workspace));
}

} // namespace kestrova::platform
