#pragma once

#include <QString>
#include <QUrl>

#include <memory>

namespace kestrova::platform {

// What a workspace request came to: whether it was done, and a sentence for the user when it failed or
// when the desktop could only do something close to it (a folder opened instead of a file selected).
struct WorkspaceResult {
    bool succeeded = true;
    QString message = {};
    // Failed because no application is set to open the item (or the link's scheme); the message then only
    // says so in the desktop's words, which callers may replace with advice of their own.
    bool lacksApplication = false;

    static WorkspaceResult done() { return {}; }
    static WorkspaceResult failed(QString message) { return {false, std::move(message)}; }
    static WorkspaceResult noApplication(QString message) { return {false, std::move(message), true}; }
};

// The desktop's file handling: opening with the default application, the file manager, the Trash. The
// desktop installs its realization at start-up; until then every request fails. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file or folder with the application the desktop associates with it.
    virtual WorkspaceResult open(const QUrl &url) = 0;
    // Shows the item selected in a file manager window.
    virtual WorkspaceResult reveal(const QUrl &url) = 0;
    // Shows the file manager's properties window of the item.
    virtual WorkspaceResult showProperties(const QUrl &url) = 0;
    // Moves the item to the desktop's Trash.
    virtual WorkspaceResult moveToTrash(const QUrl &url) = 0;

    static Workspace &shared();
    static void setShared(std::shared_ptr<Workspace> workspace);
};

} // namespace kestrova::platform
