#include "AutoselectOnFocusTextField.h"

#include "ViewHelpers.h"

#include <QTimer>

namespace kestrova {

void AutoselectOnFocusTextField::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    // On the next turn: the click that brought the focus would otherwise place the caret over the selection.
    QTimer::singleShot(0, this, [this] {
        if (hasFocus())
            selectAll();
    });
}

void AutofocusedTextField::showEvent(QShowEvent *event) {
    QLineEdit::showEvent(event);
    takeFocusSoon(this);
}

} // namespace kestrova
