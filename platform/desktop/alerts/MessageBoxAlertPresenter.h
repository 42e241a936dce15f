#pragma once

#include "platform/alerts/Alert.h"

#include <memory>

class QMessageBox;

namespace kestrova::platform::desktop {

// Shows alerts as message boxes. The alert's first button sits rightmost and the others follow it leftwards
// in the alert's order (so a button added by addButton first is both the default and the rightmost one);
// the button whose key equivalent is Return
// is the default and the one with Escape answers Escape, and a destructive button never becomes the
// default, whatever its key equivalent says. Detail text is a read-only scrolling text below the message,
// always visible. A sheet is a window-modal box over its window (its own window on X11).
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    int runModal(Alert &alert) override;
    // `alert` must live until `completion` has run: the suppression box's state is written back into it.
    void beginSheet(Alert &alert, QWindow *window, std::function<void(int response)> completion) override;

    // The box for the alert, not yet shown; owned by the caller. Exposed for tests.
    static std::unique_ptr<QMessageBox> makeMessageBox(const Alert &alert);
    // The response of the box once it ended: 1000 + the clicked button's index, or abort when none was.
    static int responseOf(const QMessageBox &box);
};

} // namespace kestrova::platform::desktop
