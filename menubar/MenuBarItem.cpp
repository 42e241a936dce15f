#include "menubar/MenuBarItem.h"

#include "foundation/time/Debouncer.h"
#include "foundation/app/KvApp.h"
#include "foundation/collections/WeakArray.h"
#include "platform/status/SymbolImage.h"
#include "ui-kit/menus/KvMenu.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace kestrova {

Q_LOGGING_CATEGORY(lcMenuBar, "kestrova.menubar")

namespace {

WeakArray<platform::StatusItem> &registry() {
    static WeakArray<platform::StatusItem> items;
    return items;
}

} // namespace

StatusItemIcon StatusItemIcon::from(const MenuBarItemImage &image) {
    StatusItemIcon icon{image.image(), image.isTemplate(), {}};
    if (const auto *symbol = image.symbol())
        icon.symbol = *symbol;
    return icon;
}

double StatusItemWidth::statusItemLength() const {
    switch (kind) {
    case Kind::fixed:
        return length;
    case Kind::square:
        return -2;
    case Kind::variable:
        return -1;
    }
    return -1;
}

bool StatusItemWidth::operator==(const StatusItemWidth &other) const {
    if (kind != other.kind)
        return false;
    return kind != Kind::fixed || length == other.length;
}

std::vector<std::shared_ptr<platform::StatusItem>> statusItemRegistry() {
    return registry().liveElements();
}

MenuBarItemCoordinator::MenuBarItemCoordinator(MenuBarItem item, QObject *parent)
    : QObject(parent)
    , m_statusItem(platform::StatusBar::shared().createStatusItem())
    , m_menu(KvMenu::create())
    , m_appearanceDebouncer(std::make_unique<Debouncer>(kAppearanceDebounce)) {
    qCInfo(lcMenuBar).noquote() << "StatusItemView - INIT -"
                                << (item.id ? QStringLiteral("Optional(\"%1\")").arg(*item.id)
                                            : QStringLiteral("nil"));
    // The entries of items gone since are dropped here rather than searched for as each item goes, which
    // took a thousand folders' items a thousand searches of the whole list when the application quit.
    registry().removeGone();
    registry().storage.emplace_back(m_statusItem);

    const QPointer<MenuBarItemCoordinator> self(this);
    // Rebuilt from nothing before every opening, so the menu always shows the present state.
    m_menu->setOnUpdate([self] {
        if (!self)
            return;
        self->m_menu->removeAllItems();
        if (self->m_item.buildMenu)
            self->m_item.buildMenu(*self->m_menu);
    });
    m_menu->setOnOpenClose([self](bool isOpen) {
        if (self && self->m_item.isMenuOpen)
            self->m_item.isMenuOpen->set(isOpen);
    });
    // A burst of look changes (a theme switch repaints several times) tints once.
    m_statusItem->setOnAppearanceChange([self] {
        if (!self)
            return;
        (*self->m_appearanceDebouncer)([self] {
            if (self)
                self->updateStatusItemIcon();
        });
    });
    m_statusItem->setOnClick([self](const platform::StatusItemClick &click) {
        if (self)
            self->handleClick(click);
    });
    // For a tray that shows the menu itself: the same menu, emptied and built by the update handler as
    // the tray opens it, so the open-state binding follows that menu as it follows the popup.
    m_statusItem->setMenuProvider([self]() -> std::shared_ptr<platform::Menu> {
        if (!self || !self->m_item.buildMenu)
            return nullptr;
        // A tray may read the rows before it first opens the menu.
        if (!self->m_menu->isOpen() && self->m_menu->isEmpty())
            self->m_menu->menuNeedsUpdate();
        return self->m_menu;
    });
    update(std::move(item));
}

MenuBarItemCoordinator::~MenuBarItemCoordinator() {
    m_statusItem->setOnClick({});
    m_statusItem->setOnAppearanceChange({});
    m_statusItem->setMenuProvider({});
    m_statusItem->closeMenu();
    // Its registry entry lapses with the status item, right after this.
}

void MenuBarItemCoordinator::update(MenuBarItem item) {
    m_item = std::move(item);
    m_statusItem->setAutosaveName(m_item.id.value_or(QString()));
    m_length = m_item.width.statusItemLength();
    m_statusItem->setTitle(m_item.toolTip                             ? *m_item.toolTip
                           : m_item.title && !m_item.title->isEmpty() ? *m_item.title
                                                                      : KvApp::name());
    updateStatusItemIcon();
    if (!m_item.buildMenu) {
        m_statusItem->closeMenu();
        return;
    }
    // Asked for by the binding: applied on a later turn, never inside the update.
    QTimer::singleShot(0, this, [this] { syncMenuOpenState(); });
}

void MenuBarItemCoordinator::updateStatusItemIcon() {
    platform::StatusItemImage image;
    if (m_item.icon) {
        image.symbol = m_item.icon->symbol;
        image.picture = m_item.icon->image;
        image.isTemplate = m_item.icon->isTemplate;
    }
    image.title = m_item.title.value_or(QString());
    image.ink = inkColor();
    // Trays draw every icon as given: a disabled look is the icon at half strength.
    image.appearsDisabled = m_item.appearsDisabled;
    m_statusItem->setImage(image);
}

QColor MenuBarItemCoordinator::inkColor() const {
    const platform::SymbolImage::Appearance appearance = m_statusItem->panelAppearance();
    const bool isDark = appearance == platform::SymbolImage::Appearance::dark;
    const std::optional<QColor> color =
        isDark && m_item.darkIconColor ? m_item.darkIconColor : m_item.lightIconColor;
    // Without a colour of its own, ink (a template, a title) is the panel's, as the panel draws templates.
    return color ? *color : platform::SymbolImage::templateColor(appearance);
}

void MenuBarItemCoordinator::handleClick(const platform::StatusItemClick &click) {
    using Button = platform::StatusItemClick::Button;
    const bool hasMenu = bool(m_item.buildMenu);
    const bool hasAction = bool(m_item.action);
    if (!hasMenu) {
        // Only a plain left click reaches an action without a menu; its answer has nothing to open.
        if (hasAction && click.button == Button::left)
            m_item.action(click);
        return;
    }
    if (click.button == Button::middle)
        return;
    releaseMenuFromHost();
    if (hasAction) {
        const auto action = m_item.action;
        const QPointer<MenuBarItemCoordinator> self(this);
        if (!action(click) || !self)
            return;
    }
    openMenu();
}

void MenuBarItemCoordinator::releaseMenuFromHost() {
    // Open in the model, yet not shown by our popup: only a host's drawing holds it.
    if (m_menu->isOpen() && !m_statusItem->isMenuOpen())
        m_menu->menuDidClose();
}

void MenuBarItemCoordinator::openMenu() {
    if (!m_item.buildMenu)
        return;
    releaseMenuFromHost();
    if (m_menu->isOpen())
        return;
    m_statusItem->popUpMenu(m_menu);
}

void MenuBarItemCoordinator::refreshClosedMenu() {
    if (m_menu->isOpen() || m_menu->isEmpty())
        return;
    // Kept for a tray host, which is told of the rows once they are there: nothing waits for them.
    m_menu->menuNeedsUpdate();
}

void MenuBarItemCoordinator::syncMenuOpenState() {
    if (!m_item.isMenuOpen)
        return;
    const bool wanted = m_item.isMenuOpen->get();
    if (wanted && !m_menu->isOpen())
        openMenu();
    else if (!wanted && m_menu->isOpen())
        m_statusItem->closeMenu();
}

} // namespace kestrova
