#pragma once

#include "platform/observation/Binding.h"

#include <QMargins>
#include <QString>

class QLineEdit;
class QWidget;

namespace kestrova {

// Lays `view` over the whole of `container`, `insets` inside its edges, following the container's size;
// the view becomes the container's child.
void constrainEdges(QWidget *view, QWidget *container, const QMargins &insets = {});

// Fixes the view's size to `width` × `height`.
void constrainSize(QWidget *view, int width, int height);

// Shakes the view sideways (or up and down) by `amount` pixels: to −amount, amount, −amount/2, amount/2
// and back, over `duration` seconds, easing in and out. With reduced motion nothing moves. A view that
// is shaken again while shaking goes on from where it is and ends where it started.
void shake(QWidget *view, bool vertical = false, double duration = 0.3, double amount = 5);

// Asks for the keyboard focus for `view` on the next turn of the event loop (once its window has mapped it;
// a request made before is lost), if it is still shown then.
void takeFocusSoon(QWidget *view);

// Keeps `field` and the text of `binding` in step: each edit of the field is written to the binding, and
// showBoundText() shows the bound text only when it differs from what the field shows (setting an equal
// text again would move the caret and break an input-method composition).
void writeEditsTo(QLineEdit *field, const platform::Binding<QString> &binding);
void showBoundText(QLineEdit *field, const platform::Binding<QString> &binding);

} // namespace kestrova
