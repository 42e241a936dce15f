#pragma once

#include <QList>
#include <QString>

class QWindow;

namespace kestrova {

// The class name of the window a declarative window group opens at launch. This application opens no
// such window, so the look-up below finds none unless a window of that class is made.
QString applicationWindowClassName();

// The first window, in the application's window order, whose class is named exactly
// `applicationWindowClassName()` (no namespace, no subclass); null when none is.
QWindow *firstSwiftUIWindow();
QWindow *firstWindowOfClass(const QList<QWindow *> &windows, const QString &className);

} // namespace kestrova
