#include "platform/desktop/tray/TrayStatusItem.h"

#include "platform/status/PanelAppearance.h"

#include "platform/menus/Menu.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/menus/DBusMenuExporter.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/desktop/tray/PopupPlacement.h"
#include "platform/desktop/tray/StatusNotifierWatch.h"
#include "platform/desktop/tray/XEmbedTrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <vector>

namespace kestrova::platform::desktop {

Q_LOGGING_CATEGORY(lcTray, "kestrova.platform.desktop.tray")

namespace {

// Every live tray item, to find the icon under a press that an open menu took.
std::vector<TrayStatusItem *> &liveItems() {
    static std::vector<TrayStatusItem *> items;
    return items;
}

Modifiers heldModifiers() {
    return modifiersFromQt(QGuiApplication::queryKeyboardModifiers());
}

} // namespace

DisplaySession displaySessionOf(const QString &platformName, const QProcessEnvironment &environment) {
    if (platformName.startsWith(QLatin1String("wayland")) ||
        !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland"))
        return DisplaySession::wayland;
    return DisplaySession::x11;
}

DisplaySession currentDisplaySession() {
    return displaySessionOf(QGuiApplication::platformName(), QProcessEnvironment::systemEnvironment());
}

TrayStatusItem::TrayStatusItem(QObject *parent)
    : TrayStatusItem(StatusNotifierBus{}, parent) {}

TrayStatusItem::TrayStatusItem(const StatusNotifierBus &bus, QObject *parent)
    : TrayStatusItem(bus, currentDisplaySession(), parent) {}

TrayStatusItem::TrayStatusItem(const StatusNotifierBus &bus, DisplaySession session, QObject *parent)
    : QObject(parent)
    , m_watch(StatusNotifierWatch::forBus(bus))
    , m_presenter(new MenuPresenter(this))
    , m_hostShowsMenu(session == DisplaySession::wayland) {
    liveItems().push_back(this);
    m_presenter->setOutsidePressHandler([this](const QPoint &globalPosition) {
        TrayStatusItem *other = itemPressedAt(globalPosition);
        if (!other)
            return false;
        // After our menu has closed, so the other menu opens on a quiet loop.
        const QPointer<TrayStatusItem> target(other);
        const StatusItemClick click{StatusItemClick::Button::left, heldModifiers(), globalPosition};
        QTimer::singleShot(0, other, [target, click] {
            if (target)
                target->hostClicked(click);
        });
        return true;
    });
    // A new watcher replaces the item and its exported menu.
    connect(m_watch.get(), &StatusNotifierWatch::watcherChanged, this, [this] { followWatcher(); });
    // The desktop's light or dark look (its stated preference, else the palette) decides the icon's ink.
    m_appearanceSubscription = PanelAppearance::shared().observe([this] {
        if (m_onAppearanceChange)
            m_onAppearanceChange();
    });
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
        // Made only now: no X icon stands beside the status-notifier item while a watcher runs, where a
        // tray that hosts both would show the folder twice.
        m_icon = new XEmbedTrayIcon(this);
        connect(m_icon, &XEmbedTrayIcon::pressed, this, [this](StatusItemClick::Button button) {
            click({button, heldModifiers(), QCursor::pos()});
        });
        setImage(m_image);
        setTitle(m_title);
        return;
    }
    delete std::exchange(m_icon, nullptr);
    // A new watcher knows nothing of the items the old one had: start afresh with a new name.
    m_notifierItem = std::make_unique<StatusNotifierItem>(m_watch->bus());
    connect(m_notifierItem.get(), &StatusNotifierItem::activateRequested, this, [this](const QPoint &point) {
        hostClicked({StatusItemClick::Button::left, heldModifiers(), point});
    });
    connect(m_notifierItem.get(), &StatusNotifierItem::secondaryRequested, this, [this](const QPoint &point) {
        hostClicked({StatusItemClick::Button::right, heldModifiers(), point});
    });
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

void TrayStatusItem::hostClicked(const StatusItemClick &click) {
    if (!m_icon)
        m_lastHostClick = click.globalPosition;
    this->click(click);
}

TrayStatusItem *TrayStatusItem::itemPressedAt(const QPoint &point) const {
    // An embedded icon says where it is.
    for (TrayStatusItem *other : liveItems()) {
        if (other != this && other->geometry().contains(point))
            return other;
    }
    // A status-notifier host never does: only a press in the panel our menu came from can be on an icon,
    // and the icon is the one whose host last gave the point nearest to it. Panels draw their icons about
    // as big as the panel is thick: a press within half that of a point is on that point's icon. One not
    // clicked yet sits beside the others in the tray: a press next to a clicked icon but not on it is on
    // that one, when it is the only such one; a press farther along the panel (its clock, its launchers)
    // is on none of ours.
    if (!m_lastHostClick)
        return nullptr;
    const QRect panel = panelAround(QRect(*m_lastHostClick, QSize(0, 0)), currentScreenAreas());
    if (!panel.contains(point))
        return nullptr;
    const int iconSize = std::min(panel.width(), panel.height());
    TrayStatusItem *nearest = nullptr;
    int nearestDistance = std::numeric_limits<int>::max();
    std::vector<TrayStatusItem *> neverClicked;
    for (TrayStatusItem *item : liveItems()) {
        if (!item->m_notifierItem || item->m_hostShowsMenu || !item->isVisible() || item->image().isNull())
            continue;
        if (!item->m_lastHostClick) {
            neverClicked.push_back(item);
            continue;
        }
        const QPoint offset = *item->m_lastHostClick - point;
        const int distance = std::max(std::abs(offset.x()), std::abs(offset.y()));
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = item;
        }
    }
    if (neverClicked.size() == 1 && nearestDistance > iconSize / 2 && nearestDistance <= 2 * iconSize)
        return neverClicked.front();
    return nearest != this && nearestDistance <= iconSize ? nearest : nullptr;
}

void TrayStatusItem::click(const StatusItemClick &click) {
    if (m_onClick)
        m_onClick(click);
}

void TrayStatusItem::setImage(const StatusItemImage &image) {
    m_image = image;
    if (m_notifierItem)
        m_notifierItem->setImage(image);
    // Drawn at the size of the tray's slot, never a 22-pixel picture scaled up to 48 or down to 16.
    if (m_icon)
        m_icon->setImage(image);
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
    // Panels follow the desktop's look: its stated preference, else its palette.
    return PanelAppearance::shared().appearance();
}

void TrayStatusItem::popUpMenu(const std::shared_ptr<Menu> &menu) {
    if (!menu)
        return;
    // An embedded icon with a place is in an X tray, also on XWayland: our popup goes against it there.
    if (m_hostShowsMenu && geometry().isEmpty()) {
        showMenuThroughHost();
        return;
    }
    const QRect anchor = popupAnchor();
    QMenu *shown = m_presenter->popup(menu, QPoint(anchor.x(), anchor.y() + anchor.height()));
    // The menu's size is known only once it is filled, as it shows; it moves before it is first drawn.
    if (shown && shown->isVisible())
        shown->move(popupPositionBesidePanel(anchor, shown->size(), currentScreenAreas()));
}

QRect TrayStatusItem::popupAnchor() const {
    const auto clickedAt = [](const TrayStatusItem &item) -> std::optional<QRect> {
        if (const QRect icon = item.geometry(); !icon.isEmpty())
            return icon;
        if (item.m_lastHostClick)
            return QRect(*item.m_lastHostClick, QSize(0, 0));
        return std::nullopt;
    };
    if (const auto own = clickedAt(*this))
        return *own;
    // Not clicked yet (a shortcut): a neighbour in the same tray is the best guess of where the icon is.
    for (const TrayStatusItem *other : liveItems()) {
        if (const auto neighbour = clickedAt(*other))
            return *neighbour;
    }
    return QRect(pointInPanel(currentScreenAreas()), QSize(0, 0));
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
    return m_icon ? m_icon->geometry() : QRect();
}

bool TrayStatusItem::isTrayAvailable() const {
    if (m_watch->hasWatcher())
        return m_watch->isHostRegistered();
    return XEmbedTrayIcon::isTrayAvailable();
}

bool TrayStatusItem::isOtherKindOfTrayAvailable() const {
    return m_watch->hasWatcher() && !m_watch->isHostRegistered() && XEmbedTrayIcon::isTrayAvailable();
}

bool TrayStatusItem::isGeometryKnown() const {
    // A status-notifier host draws the icons itself and never says where.
    return !m_watch->hasWatcher();
}

std::shared_ptr<StatusItem> TrayStatusBar::createStatusItem() {
    // Read once: it copies the whole environment, for each of a thousand folders' items.
    if (!m_session)
        m_session = currentDisplaySession();
    return std::make_shared<TrayStatusItem>(m_bus, *m_session);
}

} // namespace kestrova::platform::desktop
