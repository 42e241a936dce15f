#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace kestrova {

// A system symbol as the icon of a control, drawn in the control's text colour at the symbol's standard
// size (crisp at the screen's pixel ratio).
QIcon symbolIcon(const QString &symbolName, const QWidget *widget);

} // namespace kestrova
