#include "platform/desktop/TrayStatusItem.h"

#include "platform/Menu.h"
#include "platform/desktop/MenuPresenter.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace kestrova::platform::desktop {

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

} // namespace

TrayStatusItem::TrayStatusItem(QObject *parent)
    : QObject(parent)
    , m_icon(new QSystemTrayIcon(this))
    , m_presenter(new MenuPresenter(this)) {
    liveItems().push_back(this);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A double click arrives after its own Trigger: it is not a second click.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Unknown)
            return;
        click(
            {buttonFor(reason), modifiersFromQt(QGuiApplication::queryKeyboardModifiers()), QCursor::pos()});
    });
    m_presenter->setOutsidePressHandler([this](const QPoint &globalPosition) {
        for (TrayStatusItem *other : liveItems()) {
            if (other == this || !other->geometry().contains(globalPosition))
                continue;
            // After our menu has closed, so the other menu opens on a quiet loop.
            const QPointer<TrayStatusItem> target(other);
            const StatusItemClick click{StatusItemClick::Button::left,
                                        modifiersFromQt(QGuiApplication::queryKeyboardModifiers()),
                                        globalPosition};
            QTimer::singleShot(0, other, [target, click] {
                if (target)
                    target->click(click);
            });
            return true;
        }
        return false;
    });
    qApp->installEventFilter(this);
}

TrayStatusItem::~TrayStatusItem() {
    std::erase(liveItems(), this);
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
    // One drawing per size, so the tray never scales a 22-pixel picture up to 48 or down to 16.
    QIcon icon;
    if (!image.isNull()) {
        for (const int size : StatusItemImage::kTraySizes)
            icon.addPixmap(QPixmap::fromImage(image.render(size)));
    }
    m_icon->setIcon(icon);
    updateVisibility();
}

void TrayStatusItem::setTitle(const QString &title) {
    m_title = title;
    m_icon->setToolTip(title);
}

void TrayStatusItem::setVisible(bool visible) {
    m_isVisible = visible;
    updateVisibility();
}

void TrayStatusItem::updateVisibility() {
    // A tray icon without a picture is an empty slot in the panel.
    m_icon->setVisible(m_isVisible && !m_image.isNull());
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
    // Below the icon; QMenu opens upwards by itself when a bottom panel leaves no room below.
    const QRect icon = geometry();
    const QPoint position = icon.isEmpty() ? QCursor::pos() : icon.bottomLeft() + QPoint(0, 1);
    m_presenter->popup(menu, position);
}

void TrayStatusItem::closeMenu() {
    m_presenter->close();
}

bool TrayStatusItem::isMenuOpen() const {
    return m_presenter->isOpen();
}

QRect TrayStatusItem::geometry() const {
    return m_icon->isVisible() ? m_icon->geometry() : QRect();
}

bool TrayStatusItem::isTrayAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayStatusItem::isGeometryKnown() const {
    // Qt hands its icons to a status-notifier host whenever one is on the session bus; such a host draws
    // them itself and never says where, so only the older embedding tray reports real places.
    const auto *bus = QDBusConnection::sessionBus().interface();
    return !(bus && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value());
}

std::shared_ptr<StatusItem> TrayStatusBar::createStatusItem() {
    return std::make_shared<TrayStatusItem>();
}

} // namespace kestrova::platform::desktop
