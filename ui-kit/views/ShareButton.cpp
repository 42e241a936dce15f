#include "ShareButton.h"

#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/status/SymbolImage.h"

namespace kestrova {

namespace {

QIcon shareIcon() {
    return platform::SymbolImage(QStringLiteral("square.and.arrow.up")).icon();
}

} // namespace

ShareButton::ShareButton(QWidget *parent)
    : QToolButton(parent) {
    setText(QStringLiteral("Share"));
    setIcon(shareIcon());
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    adjustSize();
    // On the press, not the release: the menu is there while the button is held.
    connect(this, &QToolButton::pressed, this, &ShareButton::onAction);
}

std::shared_ptr<ShareMenu> ShareButton::sharedMenu() {
    static const auto menu = std::make_shared<ShareMenu>();
    return menu;
}

platform::desktop::MenuPresenter &ShareButton::presenter() {
    static auto *presenter = new platform::desktop::MenuPresenter(QCoreApplication::instance());
    return *presenter;
}

void ShareButton::onAction() {
    presenter().popup(sharedMenu(), mapToGlobal(QPoint(0, height() + 4)));
    // The menu takes the mouse: the button must not stay down behind it.
    setDown(false);
}

ShareToolbarItem::ShareToolbarItem(QObject *parent)
    : QWidgetAction(parent) {
    setText(QStringLiteral("Share"));
    setIcon(shareIcon());
}

QWidget *ShareToolbarItem::createWidget(QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setText(text());
    button->setIcon(icon());
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto *presenter = new platform::desktop::MenuPresenter(button);
    connect(button, &QToolButton::clicked, button, [this, button, presenter] {
        presenter->popup(m_menu, button->mapToGlobal(QPoint(0, button->height())));
    });
    return button;
}

} // namespace kestrova
