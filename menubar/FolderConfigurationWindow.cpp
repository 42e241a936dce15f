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
    if (m_window || !show)
        return;
    m_window = show(folder, [weak = std::weak_ptr(controller)] {
        if (const auto strong = weak.lock())
            strong->setConfigureWindowPresented(false);
    });
}

void FolderConfigurationWindow::close() {
    // Let go on the next turn: the window may be the one closing right now, inside its own handler.
    if (auto window = std::exchange(m_window, nullptr))
        QTimer::singleShot(0, QCoreApplication::instance(), [window = std::move(window)] {});
}

} // namespace kestrova
