#pragma once

#include "ui-kit/menus/ShareMenu.h"

#include <QToolButton>
#include <QWidgetAction>

#include <memory>

namespace kestrova {

namespace platform::desktop {
class MenuPresenter;
}

// A "Share" button with the share symbol that opens the ShareMenu shared by every share button as soon as
// it is pressed, just below itself.
class ShareButton : public QToolButton {
    Q_OBJECT
public:
    explicit ShareButton(QWidget *parent = nullptr);

    // The menu every share button opens, made on first use.
    static std::shared_ptr<ShareMenu> sharedMenu();
    // The presenter showing it, for whoever needs to see the open menu.
    static platform::desktop::MenuPresenter &presenter();

private:
    void onAction();
};

// A toolbar item labelled "Share" with the share symbol whose menu is a ShareMenu of its own, opened on a
// click, with no arrow drawn beside it.
class ShareToolbarItem : public QWidgetAction {
    Q_OBJECT
public:
    explicit ShareToolbarItem(QObject *parent = nullptr);

    const std::shared_ptr<ShareMenu> &shareMenu() const { return m_menu; }

protected:
    QWidget *createWidget(QWidget *parent) override;

private:
    std::shared_ptr<ShareMenu> m_menu = std::make_shared<ShareMenu>();
};

} // namespace kestrova
