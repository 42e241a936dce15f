#pragma once

#include "platform/StatusItem.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QSystemTrayIcon;

namespace kestrova::platform::desktop {

class MenuPresenter;

// A status item shown as a tray icon. Menus are never handed to the tray (a tray that draws menus itself
// would lose hosted views and live alternates): a click is reported, and popUpMenu shows our own QMenu at
// the icon. While one item's menu is open, a press on another item's icon closes the menu and clicks that
// item at once, where the tray would swallow the press. The icon is drawn at every size a tray asks for
// (StatusItemImage::kTraySizes) and its tool tip is the item's title. Main thread only.
class TrayStatusItem : public QObject, public DetachedStatusItem {
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    ~TrayStatusItem() override;
    Q_DISABLE_COPY_MOVE(TrayStatusItem)

    void setImage(const StatusItemImage &image) override;
    void setTitle(const QString &title) override;
    void setVisible(bool visible) override;
    SymbolImage::Appearance panelAppearance() const override;
    void popUpMenu(const std::shared_ptr<Menu> &menu) override;
    void closeMenu() override;
    bool isMenuOpen() const override;
    QRect geometry() const override;
    bool isTrayAvailable() const override;
    bool isGeometryKnown() const override;

    MenuPresenter &presenter() { return *m_presenter; }
    // Reports a click as the tray would (the outside-press hand-over and tests use it).
    void click(const StatusItemClick &click);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateVisibility();

    QSystemTrayIcon *m_icon;
    MenuPresenter *m_presenter;
};

// Makes tray status items; installed with StatusBar::setShared at start-up.
class TrayStatusBar : public StatusBar {
public:
    std::shared_ptr<StatusItem> createStatusItem() override;
};

} // namespace kestrova::platform::desktop
