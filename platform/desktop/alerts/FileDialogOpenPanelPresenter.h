#pragma once

#include "platform/alerts/OpenPanel.h"

#include <memory>

class QFileDialog;

namespace kestrova::platform::desktop {

// Shows open panels as file dialogs: folders only when the panel asks for folders alone, opening in the
// panel's folder, the prompt as the accepting button, the message as the title. A `shouldEnable` rule needs
// the dialog drawn by Qt itself (the desktop's own dialog cannot filter), so the dialog is then non-native
// and rejected items are shown greyed out.
class FileDialogOpenPanelPresenter : public OpenPanelPresenter {
public:
    int runModal(OpenPanel &panel, QWindow *window) override;

    // The dialog for the panel, not yet shown; owned by the caller. Exposed for tests.
    static std::unique_ptr<QFileDialog> makeFileDialog(const OpenPanel &panel);
};

} // namespace kestrova::platform::desktop
