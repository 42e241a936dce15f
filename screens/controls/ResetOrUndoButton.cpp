#include "ResetOrUndoButton.h"

#include "platform/status/SymbolImage.h"

namespace kestrova {

namespace {
constexpr qreal kSymbolSize = 16;
}

ResetOrUndoButton::ResetOrUndoButton(const QString &title, QWidget *parent)
    : QToolButton(parent) {
    setAutoRaise(true);
    setToolTip(title);
    setAccessibleName(title);
    setIcon(platform::SymbolImage(QStringLiteral("arrow.uturn.backward.circle.fill"), kSymbolSize).icon());
}

} // namespace kestrova
