#pragma once

#include "platform/workspace/Workspace.h"

namespace kestrova::platform::desktop {

// The desktop's file handling: GIO opens items with their default application (and any other URL with
// the desktop's handler for its scheme: the browser, the mail application) and moves them to the Trash; the
// file manager that owns "org.freedesktop.FileManager1" on the session bus selects items and shows their
// properties. Where no file manager answers, the containing folder is opened instead and the result says so.
// An item that no longer exists fails every request with a message naming it.
class DesktopWorkspace : public Workspace {
public:
    WorkspaceResult open(const QUrl &url) override;
    WorkspaceResult reveal(const QUrl &url) override;
    WorkspaceResult showProperties(const QUrl &url) override;
    WorkspaceResult moveToTrash(const QUrl &url) override;
};

} // namespace kestrova::platform::desktop
