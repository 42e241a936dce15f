#include "menubar/MenuBarItem.h"

#include "foundation/Debouncer.h"
#include "foundation/WeakArray.h"
#include "platform/SymbolImage.h"
#include "ui-kit/menus/KvMenu.h"

#include <QLoggingCategory>
#include <QPainter>
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

// Trays draw every icon as given: a disabled look is the icon at half strength.
QImage appearingDisabled(const QImage &image, bool appearsDisabled) {
    if (!appearsDisabled || image.isNull())
        return image;
    QImage faded = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&faded);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(faded.rect(), QColor(0, 0, 0, 128));
    return faded;
}

} // namespace

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
    update(std::move(item));
}

MenuBarItemCoordinator::~MenuBarItemCoordinator() {
    m_statusItem->setOnClick({});
    m_statusItem->setOnAppearanceChange({});
    m_statusItem->closeMenu();
    auto &items = registry();
    items.removeGone();
    const auto ours = std::find_if(items.storage.begin(), items.storage.end(),
                                   [this](const auto &box) { return box.wrappedValue() == m_statusItem; });
    if (ours != items.storage.end())
        items.storage.erase(ours);
}

void MenuBarItemCoordinator::update(MenuBarItem item) {
    m_item = std::move(item);
    m_statusItem->setAutosaveName(m_item.id.value_or(QString()));
    m_length = m_item.width.statusItemLength();
    m_statusItem->setTitle(m_item.title.value_or(QString()));
    updateStatusItemIcon();
    if (!m_item.buildMenu) {
        m_statusItem->closeMenu();
        return;
    }
    // Asked for by the binding: applied on a later turn, never inside the update.
    QTimer::singleShot(0, this, &MenuBarItemCoordinator::syncMenuOpenState);
}

void MenuBarItemCoordinator::updateStatusItemIcon() {
    if (!m_item.icon) {
        m_statusItem->setImage({});
        return;
    }
    m_statusItem->setImage(appearingDisabled(tintedIcon(), m_item.appearsDisabled));
}

QImage MenuBarItemCoordinator::tintedIcon() const {
    const StatusItemIcon &icon = *m_item.icon;
    const bool isDark = m_statusItem->panelAppearance() == platform::SymbolImage::Appearance::dark;
    std::optional<QColor> color =
        isDark && m_item.darkIconColor ? m_item.darkIconColor : m_item.lightIconColor;
    // A template image without a colour of its own takes the panel's ink, as the panel draws templates.
    if (!color && icon.isTemplate)
        color = platform::SymbolImage::templateColor(m_statusItem->panelAppearance());
    if (!color || !icon.isTemplate)
        return icon.image;
    return platform::SymbolImage::tinted(icon.image, *color);
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
    if (hasAction) {
        const auto action = m_item.action;
        const QPointer<MenuBarItemCoordinator> self(this);
        if (!action(click) || !self)
            return;
    }
    openMenu();
}

void MenuBarItemCoordinator::openMenu() {
    if (!m_item.buildMenu || m_menu->isOpen())
        return;
    m_statusItem->popUpMenu(m_menu);
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
