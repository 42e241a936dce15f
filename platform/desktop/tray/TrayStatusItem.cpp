#include "platform/desktop/tray/TrayStatusItem.h"

#include "platform/menus/Menu.h"
#include "platform/menus/MenuBuildingWait.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/PopupPlacement.h"
#include "platform/desktop/tray/StatusNotifierWatch.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace kestrova::platform::desktop {

Q_LOGGING_CATEGORY(lcTray, "kestrova.platform.desktop.tray")

namespace {

// Every live tray item, to find the icon under a press that an open menu took.
std::vector<TrayStatusItem *> &liveItems() {
    static std::vector<TrayStatusItem *> items;
    return items;
}

StatusItemClick::Button buttonFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Context:
        return StatusItemClick::Button::right;
    case QSystemTrayIcon::MiddleClick:
        return StatusItemClick::Button::middle;
    default:
        return StatusItemClick::Button::left;
    }
}

Modifiers heldModifiers() {
    return modifiersFromQt(QGuiApplication::queryKeyboardModifiers());
}

} // namespace

TrayStatusItem::TrayStatusItem(QObject *parent)
    : TrayStatusItem(StatusNotifierBus{}, parent) {}

TrayStatusItem::TrayStatusItem(const StatusNotifierBus &bus, QObject *parent)
    : TrayStatusItem(bus, QGuiApplication::platformName(), parent) {}

TrayStatusItem::TrayStatusItem(const StatusNotifierBus &bus, const QString &platformName, QObject *parent)
    : QObject(parent)
    , m_watch(StatusNotifierWatch::forBus(bus))
    , m_presenter(new MenuPresenter(this))
    , m_hostShowsMenu(hostShowsMenuOn(platformName)) {
    liveItems().push_back(this);
    m_presenter->setOutsidePressHandler([this](const QPoint &globalPosition) {
        for (TrayStatusItem *other : liveItems()) {
            if (other == this || !other->geometry().contains(globalPosition))
                continue;
            // After our menu has closed, so the other menu opens on a quiet loop.
            const QPointer<TrayStatusItem> target(other);
            const StatusItemClick click{StatusItemClick::Button::left, heldModifiers(), globalPosition};
            QTimer::singleShot(0, other, [target, click] {
                if (target)
                    target->click(click);
            });
            return true;
        }
        return false;
    });
    // A new watcher replaces the item and its exported menu: not while a menu waits to be built, which may
    // be that menu, answering its host.
    connect(m_watch.get(), &StatusNotifierWatch::watcherChanged, this,
            [this] { MenuBuildingWait::runWhenMenusAreBuilt(this, [this] { followWatcher(); }); });
    qApp->installEventFilter(this);
    followWatcher();
}

TrayStatusItem::~TrayStatusItem() {
    std::erase(liveItems(), this);
}

void TrayStatusItem::followWatcher() {
    if (!m_watch->hasWatcher()) {
        m_notifierItem.reset();
        if (m_icon)
            return;
        // Made only now: Qt hands a tray icon made while a watcher runs to the status-notifier host
        // itself, where it would stand beside ours under Qt's own name instead of being embedded.
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // A double click arrives after its own Trigger: it is not a second click.
            if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Unknown)
                return;
            click({buttonFor(reason), heldModifiers(), QCursor::pos()});
        });
        setImage(m_image);
        setTitle(m_title);
        return;
    }
    delete std::exchange(m_icon, nullptr);
    // A new watcher knows nothing of the items the old one had: start afresh with a new name.
    m_notifierItem = std::make_unique<StatusNotifierItem>(m_watch->bus());
    connect(m_notifierItem.get(), &StatusNotifierItem::activateRequested, this,
            [this](const QPoint &point) { hostClicked(StatusItemClick::Button::left, point); });
    connect(m_notifierItem.get(), &StatusNotifierItem::secondaryRequested, this,
            [this](const QPoint &point) { hostClicked(StatusItemClick::Button::right, point); });
    m_notifierItem->setId(notifierId());
    m_notifierItem->setItemIsMenu(m_hostShowsMenu);
    exportMenu();
    setImage(m_image);
    setTitle(m_title);
    // On a later turn, once whoever made the item has named and drawn it.
    QTimer::singleShot(0, m_notifierItem.get(), &StatusNotifierItem::registerWithWatcher);
}

void TrayStatusItem::exportMenu() {
    if (!m_menuProvider) {
        m_notifierItem->exportMenu({});
        return;
    }
    m_notifierItem->exportMenu(
        [this]() -> std::shared_ptr<Menu> { return m_menuProvider ? m_menuProvider() : nullptr; });
}

void TrayStatusItem::setMenuProvider(MenuProvider provider) {
    m_menuProvider = std::move(provider);
    // Afresh, at the same path: a menu the host shows from the old provider is closed in the model now,
    // while whoever made that menu is still there to hear it.
    if (m_notifierItem)
        exportMenu();
}

QString TrayStatusItem::notifierId() const {
    const QString application = QString::fromLatin1(UserDefaults::kApplicationIdentifier);
    return m_autosaveName.isEmpty() ? application : application + QLatin1Char('-') + m_autosaveName;
}

bool TrayStatusItem::hostShowsMenuOn(const QString &platformName) {
    return platformName.startsWith(QLatin1String("wayland"));
}

void TrayStatusItem::hostClicked(StatusItemClick::Button button, const QPoint &point) {
    m_lastHostClick = point;
    click({button, heldModifiers(), point});
}

void TrayStatusItem::click(const StatusItemClick &click) {
    if (m_onClick)
        m_onClick(click);
}

bool TrayStatusItem::eventFilter(QObject *watched, QEvent *event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange && m_onAppearanceChange)
        m_onAppearanceChange();
    return QObject::eventFilter(watched, event);
}

void TrayStatusItem::setImage(const StatusItemImage &image) {
    m_image = image;
    if (m_notifierItem)
        m_notifierItem->setImage(image);
    if (m_icon) {
        // One drawing per size, so the tray never scales a 22-pixel picture up to 48 or down to 16.
        QIcon icon;
        if (!image.isNull()) {
            for (const int size : StatusItemImage::kTraySizes)
                icon.addPixmap(QPixmap::fromImage(image.render(size)));
        }
        m_icon->setIcon(icon);
    }
    updateVisibility();
}

void TrayStatusItem::setTitle(const QString &title) {
    m_title = title;
    if (m_notifierItem)
        m_notifierItem->setTitle(title);
    if (m_icon)
        m_icon->setToolTip(title);
}

void TrayStatusItem::setAutosaveName(const QString &name) {
    m_autosaveName = name;
    if (m_notifierItem)
        m_notifierItem->setId(notifierId());
}

void TrayStatusItem::setVisible(bool visible) {
    m_isVisible = visible;
    updateVisibility();
}

void TrayStatusItem::updateVisibility() {
    // An icon without a picture is an empty slot in the panel.
    const bool shows = m_isVisible && !m_image.isNull();
    if (m_icon)
        m_icon->setVisible(shows);
    if (m_notifierItem)
        m_notifierItem->setActive(shows);
    if (!m_isVisible)
        closeMenu();
}

SymbolImage::Appearance TrayStatusItem::panelAppearance() const {
    // Panels follow the desktop's palette; its window colour tells light from dark.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightness() < 128 ? SymbolImage::Appearance::dark : SymbolImage::Appearance::light;
}

void TrayStatusItem::popUpMenu(const std::shared_ptr<Menu> &menu) {
    if (!menu)
        return;
    if (m_hostShowsMenu) {
        showMenuThroughHost();
        return;
    }
    if (!m_notifierItem) {
        // Below the icon; QMenu opens upwards by itself when a bottom panel leaves no room below.
        const QRect icon = geometry();
        const QPoint position = icon.isEmpty() ? QCursor::pos() : icon.bottomLeft() + QPoint(0, 1);
        m_presenter->popup(menu, position);
        return;
    }
    // A menu opened by a shortcut goes where the icon was last clicked.
    const QPoint click = m_lastHostClick.value_or(QCursor::pos());
    QMenu *shown = m_presenter->popup(menu, click);
    // The menu's size is known only once it is filled, as it shows; it moves before it is first drawn.
    if (shown && shown->isVisible())
        shown->move(popupPositionBesidePanel(click, shown->size(), currentScreenAreas()));
}

void TrayStatusItem::showMenuThroughHost() {
    // A menu of ours would be a window of its own in the middle of the screen: without a parent surface
    // and the serial of a click, only the host can place a menu here.
    DBusMenuExporter *exported = m_notifierItem ? m_notifierItem->menuExporter() : nullptr;
    if (exported)
        exported->requestActivation();
    static bool told = false;
    if (!std::exchange(told, true)) {
        qCInfo(lcTray) << (exported ? "a menu opened without a click on the icon is the host's to show: "
                                      "asked the host to show the exported menu"
                                    : "a menu opened without a click on the icon cannot be shown: no tray "
                                      "host shows our menus");
    }
}

void TrayStatusItem::closeMenu() {
    m_presenter->close();
}

bool TrayStatusItem::isMenuOpen() const {
    return m_presenter->isOpen();
}

QRect TrayStatusItem::geometry() const {
    return m_icon && m_icon->isVisible() ? m_icon->geometry() : QRect();
}

bool TrayStatusItem::isTrayAvailable() const {
    if (m_watch->hasWatcher())
        return m_watch->isHostRegistered();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayStatusItem::isGeometryKnown() const {
    // A status-notifier host draws the icons itself and never says where.
    return !m_watch->hasWatcher();
}

std::shared_ptr<StatusItem> TrayStatusBar::createStatusItem() {
    return std::make_shared<TrayStatusItem>(m_bus, m_platformName.value_or(QGuiApplication::platformName()));
}

} // namespace kestrova::platform::desktop
