#include "WindowShortcuts_p.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace kestrova {

void installWindowShortcuts(QWidget *window) {
    auto *close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), window, window, &QWidget::close,
                                Qt::WindowShortcut);
    close->setObjectName(QStringLiteral("closeWindowShortcut"));
    auto *minimize = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), window, window,
                                   &QWidget::showMinimized, Qt::WindowShortcut);
    minimize->setObjectName(QStringLiteral("minimizeWindowShortcut"));
}

} // namespace kestrova
