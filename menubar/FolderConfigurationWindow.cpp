#include "FolderConfigurationWindow.h"

#include "FolderController.h"
#include "ScreenHooks.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

namespace kestrova {

FolderConfigurationWindow::~FolderConfigurationWindow() {
    close();
}

void FolderConfigurationWindow::show(const platform::Binding<Folder> &folder,
                                     const std::shared_ptr<FolderController> &controller) {
    const auto &show = ScreenHooks::shared().showFolderConfiguration;
    if (!show)
        return;
    // Asked again while shown: the hook brings the same window to the front, and it is closed only once.
    const bool isShown = bool(m_window);
    auto window = show(folder, [weak = std::weak_ptr(controller), isShown] {
        if (const auto strong = weak.lock(); strong && !isShown)
            strong->setConfigureWindowPresented(false);
    });
    if (!isShown)
        m_window = std::move(window);
}

void FolderConfigurationWindow::close() {
    // Let go on the next turn: the window may be the one closing right now, inside its own handler.
    if (auto window = std::exchange(m_window, nullptr))
        QTimer::singleShot(0, QCoreApplication::instance(), [window = std::move(window)] {});
}

} // namespace kestrova
