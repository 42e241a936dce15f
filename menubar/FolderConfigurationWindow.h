#pragma once

#include "platform/observation/Binding.h"
#include "store/Folder.h"

#include <memory>

class QObject;

namespace kestrova {

class FolderController;

// A folder's configuration window as a status item shows it: opened through ScreenHooks while a
// FolderController asks for it, closed when the controller stops asking. Closing the window by hand lowers
// the controller's flag, so that "Configure Folder…" can open it again. Does nothing in a build without the
// window. Main thread only.
class FolderConfigurationWindow {
public:
    FolderConfigurationWindow() = default;
    ~FolderConfigurationWindow();
    FolderConfigurationWindow(const FolderConfigurationWindow &) = delete;
    FolderConfigurationWindow &operator=(const FolderConfigurationWindow &) = delete;

    // Shows the window for `folder` on behalf of `controller`, or brings it to the front when it is shown.
    void show(const platform::Binding<Folder> &folder, const std::shared_ptr<FolderController> &controller);
    void close();
    bool isShown() const { return bool(m_window); }

private:
    std::shared_ptr<QObject> m_window;
};

} // namespace kestrova
