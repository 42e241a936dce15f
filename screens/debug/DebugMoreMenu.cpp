#include "DebugMoreMenu.h"

#include <QIcon>
#include <QLabel>
#include <QMenu>

namespace kestrova {

DebugMoreMenu::DebugMoreMenu(std::function<bool()> hasContent, std::function<void()> copy,
                             std::function<void()> clear, QWidget *parent)
    : QToolButton(parent) {
    setObjectName(QStringLiteral("more"));
    setText(QStringLiteral("More"));
    setIcon(QIcon::fromTheme(QStringLiteral("view-more-symbolic"),
                             QIcon::fromTheme(QStringLiteral("open-menu-symbolic"))));
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(this);
    QAction *copyAction = menu->addAction(QStringLiteral("Copy"), this, std::move(copy));
    menu->addSeparator();
    QAction *clearAction = menu->addAction(QStringLiteral("Clear"), this, std::move(clear));
    connect(menu, &QMenu::aboutToShow, this, [hasContent = std::move(hasContent), copyAction, clearAction] {
        const bool enabled = hasContent();
        copyAction->setEnabled(enabled);
        clearAction->setEnabled(enabled);
    });
    setMenu(menu);
}

QLabel *debugPageTitle(const QString &title, QWidget *parent) {
    auto *label = new QLabel(title, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    label->setFont(font);
    return label;
}

} // namespace kestrova
