#include "Menu.h"

#include "platform/FreedMemory.h"
#include "platform/menus/ReleaseGradually.h"

#include <QStringList>

#include <algorithm>

namespace kestrova::platform {

Menu::Menu(QString title)
    : m_title(std::move(title)) {}

Menu::~Menu() {
    // The holding item always lets go of its submenu before the submenu can die, so only the items
    // need telling.
    for (const auto &item : m_items)
        item->m_menu = nullptr;
    dropSource();
}

const std::vector<std::shared_ptr<MenuItem>> &Menu::items() const {
    makeSourceRows();
    return m_items;
}

void Menu::addRows(std::shared_ptr<const MenuRowSource> source) {
    makeSourceRows();
    if (!source || source->count() == 0)
        return;
    m_source = std::move(source);
    m_sourceAt = m_items.size();
    m_madeRows = std::make_shared<MadeSourceRows>(MadeSourceRows{this, {}});
}

std::shared_ptr<MenuItem> Menu::sourceItem(std::size_t index) const {
    if (!m_source || index >= m_source->count())
        return nullptr;
    auto &rows = m_madeRows->rows;
    if (rows.size() < m_source->count())
        rows.resize(m_source->count());
    if (auto item = rows[index].lock())
        return item;
    // A row of the source's, rather than an item of the menu's: it leaves with the source.
    auto item = m_source->makeItem(index);
    item->m_madeBy = m_madeRows;
    rows[index] = item;
    return item;
}

std::shared_ptr<MenuItem> Menu::newSourceRow(std::size_t index) const {
    auto item = m_source->makeItem(index);
    item->m_menu = const_cast<Menu *>(this);
    return item;
}

void Menu::makeSourceRows() const {
    if (!m_source)
        return;
    std::vector<std::shared_ptr<MenuItem>> rows(m_source->count());
    // Rows a presenter made and still holds stay the same items, now the menu's own; the rest are made
    // here, without the bookkeeping sourceItem keeps for rows made one at a time.
    const auto &made = m_madeRows->rows;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (index < made.size())
            rows[index] = made[index].lock();
        if (!rows[index]) {
            rows[index] = newSourceRow(index);
        } else {
            rows[index]->m_madeBy.reset();
            rows[index]->m_menu = const_cast<Menu *>(this);
        }
    }
    m_source.reset();
    m_madeRows.reset();
    m_items.insert(m_items.begin() + std::ptrdiff_t(m_sourceAt), std::make_move_iterator(rows.begin()),
                   std::make_move_iterator(rows.end()));
}

std::shared_ptr<const MenuRowSource> Menu::dropSource() {
    if (const auto made = std::exchange(m_madeRows, nullptr)) {
        // Every row made of the source leaves the menu at once. Letting go of a reference touches the row's
        // count, wherever in memory that is: tens of thousands of them go a slice per turn.
        made->menu = nullptr;
        constexpr std::size_t kRowsLetGoAtOnce = 4096;
        if (made->rows.size() > kRowsLetGoAtOnce)
            releaseGradually(std::exchange(made->rows, {}));
    }
    return std::exchange(m_source, nullptr);
}

void Menu::takeContentsOf(Menu &other) {
    if (&other == this)
        return;
    auto previous = takeAllItems();
    m_items = std::exchange(other.m_items, {});
    m_source = std::exchange(other.m_source, nullptr);
    m_sourceAt = other.m_sourceAt;
    m_madeRows = std::exchange(other.m_madeRows, nullptr);
    for (const auto &item : m_items)
        item->m_menu = this;
    if (m_madeRows)
        m_madeRows->menu = this;
}

Menu *Menu::supermenu() const {
    return m_supermenuItem ? m_supermenuItem->menu() : nullptr;
}

void Menu::adopt(const std::shared_ptr<MenuItem> &item) {
    if (item->menu() && item->menu() != this)
        item->menu()->removeItem(item);
    // A row of a source the menu since dropped is an item like any other.
    item->m_madeBy.reset();
    item->m_menu = this;
}

const std::shared_ptr<MenuItem> &Menu::addItem(const std::shared_ptr<MenuItem> &item) {
    if (item && item->menu() != this) {
        // After the source's rows, which need not be made for that.
        adopt(item);
        m_items.push_back(item);
        return item;
    }
    insertItem(item, numberOfItems());
    return item;
}

void Menu::insertItem(const std::shared_ptr<MenuItem> &item, std::size_t index) {
    if (!item)
        return;
    // Positions count the source's rows.
    makeSourceRows();
    // Re-inserting an item of this menu moves it.
    if (item->menu() == this)
        std::erase(m_items, item);
    adopt(item);
    index = std::min(index, m_items.size());
    m_items.insert(m_items.begin() + std::ptrdiff_t(index), item);
}

std::shared_ptr<MenuItem> Menu::addSeparator() {
    auto item = MenuItem::separator();
    addItem(item);
    return item;
}

void Menu::removeItem(const std::shared_ptr<MenuItem> &item) {
    if (!item || item->menu() != this)
        return;
    makeSourceRows();
    item->m_menu = nullptr;
    std::erase(m_items, item);
}

void Menu::removeAllItems() {
    // Moved out first: releasing an item may run code (a closure's captures) that looks at this menu.
    auto released = takeAllItems();
    released.clear();
}

std::vector<std::shared_ptr<MenuItem>> Menu::takeAllItems() {
    auto items = std::exchange(m_items, {});
    for (const auto &item : items)
        item->m_menu = nullptr;
    dropSource();
    return items;
}

void Menu::releaseAllItemsGradually() {
    releaseGradually(takeAllItems(), [] { giveBackFreedMemorySoon(); });
}

void Menu::setItems(std::vector<std::shared_ptr<MenuItem>> items) {
    auto previous = takeAllItems();
    for (const auto &item : items)
        addItem(item);
}

void Menu::menuNeedsUpdate() {
    const std::weak_ptr<bool> alive = m_alive;
    m_needsUpdateObservers.notify();
    if (!alive.expired())
        didNeedUpdate();
}

void Menu::menuWillOpen() {
    setOpen(true);
}

void Menu::menuDidClose() {
    setOpen(false);
}

void Menu::setOpen(bool open) {
    if (m_isOpen == open)
        return;
    m_isOpen = open;
    const std::weak_ptr<bool> alive = m_alive;
    m_openObservers.notify(open);
    if (!alive.expired())
        openStateDidChange(open);
}

Subscription Menu::observeOpenState(std::function<void(bool)> handler) {
    auto subscription = m_openObservers.subscribe(handler);
    handler(m_isOpen);
    return subscription;
}

Subscription Menu::observeNeedsUpdate(std::function<void()> handler) {
    return m_needsUpdateObservers.subscribe(std::move(handler));
}

void Menu::setAwaitingContents(bool isAwaiting) {
    if (m_isAwaitingContents == isAwaiting)
        return;
    m_isAwaitingContents = isAwaiting;
    m_awaitingObservers.notify(isAwaiting);
}

Subscription Menu::observeAwaitingContents(std::function<void(bool)> handler) {
    return m_awaitingObservers.subscribe(std::move(handler));
}

namespace {

bool isShownContent(const MenuItem &item) {
    return !item.isSeparator() && !(item.hostedView() && item.hostedView()->isEmptyView());
}

// Menus are put together from sections, each closed by a separator: which of them shows depends on the
// held modifiers and on hidden rows, so strays are dropped from what is shown rather than by the builders.
void dropStraySeparators(std::vector<std::shared_ptr<MenuItem>> &rows) {
    std::vector<bool> keep(rows.size(), true);
    bool contentSinceSeparator = false;
    constexpr std::size_t kNone = std::size_t(-1);
    std::size_t lastSeparator = kNone;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const MenuItem &row = *rows[index];
        if (row.isSeparator()) {
            if (!contentSinceSeparator) {
                keep[index] = false;
                continue;
            }
            lastSeparator = index;
            contentSinceSeparator = false;
        } else if (isShownContent(row)) {
            contentSinceSeparator = true;
            lastSeparator = kNone;
        }
    }
    if (lastSeparator != kNone)
        keep[lastSeparator] = false;
    std::size_t index = 0;
    std::erase_if(rows, [&](const auto &) { return !keep[index++]; });
}

std::vector<std::shared_ptr<MenuItem>> displayedOf(const std::vector<std::shared_ptr<MenuItem>> &items,
                                                   Modifiers heldModifiers) {
    std::vector<std::shared_ptr<MenuItem>> shown;
    std::size_t index = 0;
    while (index < items.size()) {
        // A row is a primary item (none for alternates at the very start) and the alternates after it.
        std::shared_ptr<MenuItem> row = items[index]->isAlternate() ? nullptr : items[index];
        std::size_t next = row ? index + 1 : index;
        bool replaced = false;
        for (; next < items.size() && items[next]->isAlternate(); ++next) {
            const auto &alternate = items[next];
            const Modifiers mask = alternate->keyEquivalentModifierMask();
            if (replaced || alternate->isHidden() || !mask || mask != heldModifiers)
                continue;
            row = alternate;
            replaced = true;
        }
        if (row && !row->isHidden())
            shown.push_back(row);
        index = next;
    }
    dropStraySeparators(shown);
    return shown;
}

} // namespace

std::vector<std::shared_ptr<MenuItem>> Menu::displayedItems(Modifiers heldModifiers) const {
    return displayedOf(items(), heldModifiers);
}

Menu::DisplayedRows Menu::displayedRows(Modifiers heldModifiers) const {
    if (!m_source)
        return {displayedOf(m_items, heldModifiers), 0, {}};
    return withSourceAsBlock(
        [heldModifiers](const auto &items) { return displayedOf(items, heldModifiers); });
}

Menu::DisplayedRows
Menu::withSourceAsBlock(const std::function<std::vector<std::shared_ptr<MenuItem>>(
                            const std::vector<std::shared_ptr<MenuItem>> &)> &displayed) const {
    // The source's rows are plain content: one stand-in row gives the separators around them their fate.
    static const auto standIn = std::make_shared<MenuItem>(QStringLiteral("rows"));
    std::vector<std::shared_ptr<MenuItem>> items = m_items;
    items.insert(items.begin() + std::ptrdiff_t(m_sourceAt), standIn);
    auto shown = displayed(items);
    const auto at = std::find(shown.begin(), shown.end(), standIn);
    DisplayedRows rows;
    rows.before.assign(shown.begin(), at);
    rows.sourceRows = m_source->count();
    rows.after.assign(at + 1, shown.end());
    return rows;
}

namespace {

std::vector<std::shared_ptr<MenuItem>>
withEveryAlternate(const std::vector<std::shared_ptr<MenuItem>> &items) {
    std::vector<std::shared_ptr<MenuItem>> shown;
    for (const auto &item : items) {
        if (item->isHidden() || (item->hostedView() && item->hostedView()->isEmptyView()))
            continue;
        // Never revealed by any modifier, so never shown.
        if (item->isAlternate() && !item->keyEquivalentModifierMask())
            continue;
        shown.push_back(item);
    }
    dropStraySeparators(shown);
    return shown;
}

} // namespace

std::vector<std::shared_ptr<MenuItem>> Menu::displayedItemsWithEveryAlternate() const {
    return withEveryAlternate(items());
}

Menu::DisplayedRows Menu::displayedRowsWithEveryAlternate() const {
    if (!m_source)
        return {withEveryAlternate(m_items), 0, {}};
    return withSourceAsBlock(withEveryAlternate);
}

namespace {

QString rowText(const MenuItem &item) {
    if (item.isSeparator())
        return QStringLiteral("-----");
    const QString title = item.displayedTitle();
    if (!title.isEmpty())
        return Menu::quotedTitle(title);
    if (const auto &view = item.hostedView())
        return QLatin1Char('<') + view->description() + QLatin1Char('>');
    if (!item.image().isNull())
        return QStringLiteral("<image: ") + item.accessibilityDescription() + QLatin1Char('>');
    return Menu::quotedTitle(title);
}

QStringList flags(const MenuItem &item) {
    QStringList flags;
    if (item.isSeparator())
        return flags;
    if (!item.isEnabled())
        flags << QStringLiteral("disabled");
    if (item.isHidden())
        flags << QStringLiteral("hidden");
    if (item.state() == MenuItem::State::on)
        flags << QStringLiteral("on");
    if (item.state() == MenuItem::State::mixed)
        flags << QStringLiteral("mixed");
    if (item.isAlternate())
        flags << QStringLiteral("alternate ") + modifiersDescription(item.keyEquivalentModifierMask());
    if (!item.keyEquivalent().isEmpty())
        flags << QStringLiteral("key ") + modifiersDescription(item.keyEquivalentModifierMask()) +
                     QLatin1Char('+') + item.keyEquivalent().toUpper();
    if (item.hostedView() && !item.displayedTitle().isEmpty())
        flags << QStringLiteral("view");
    return flags;
}

} // namespace

QString Menu::quotedTitle(const QString &title) {
    QString escaped = title;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    escaped.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    escaped.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString Menu::dump() const {
    QString text;
    dump(text, 0);
    return text;
}

void Menu::dump(QString &into, int depth) const {
    const QString indent(depth * 2, QLatin1Char(' '));
    for (const auto &item : items()) {
        into += indent + rowText(*item);
        const QStringList itemFlags = flags(*item);
        if (!itemFlags.isEmpty())
            into += QStringLiteral(" [") + itemFlags.join(QStringLiteral(", ")) + QLatin1Char(']');
        if (const auto &submenu = item->submenu()) {
            into += QStringLiteral(" >");
            if (submenu->isEmpty() && item->hasLazySubmenu())
                into += QStringLiteral(" (not built)");
        }
        into += QLatin1Char('\n');
        if (const auto &submenu = item->submenu())
            submenu->dump(into, depth + 1);
    }
}

} // namespace kestrova::platform
