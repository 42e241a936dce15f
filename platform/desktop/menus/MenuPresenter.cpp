#include "platform/desktop/menus/MenuPresenter.h"

#include "platform/input/KeyboardState.h"
#include "platform/menus/Menu.h"
#include "platform/menus/MenuTracking.h"
#include "platform/desktop/input/DesktopKeyboardState.h"
#include "platform/desktop/menus/MenuPresenter_p.h"
#include "platform/desktop/menus/MenuRowStyle_p.h"
#include "platform/desktop/menus/MenuRowWindow_p.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QWidgetAction>
#include <QWindow>

#include <algorithm>
#include <set>
#include <unordered_set>
#include <utility>

namespace kestrova::platform::desktop {

namespace {

constexpr const char *kItemProperty = "kestrovaMenuItem";
constexpr const char *kColorProperty = "kestrovaTextColor";
// The one row of a menu whose rows are still on their way.
const QString kAwaitingRowsTitle = QStringLiteral("Loading…");

// The row behind an action, kept on the action itself so that any QAction can be asked.
struct ItemHandle {
    std::weak_ptr<MenuItem> item;
};

std::optional<Modifier> modifierForKey(int key) {
    switch (key) {
    case Qt::Key_Control:
        return Modifier::control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return Modifier::option;
    case Qt::Key_Shift:
        return Modifier::shift;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Modifier::command;
    default:
        return std::nullopt;
    }
}

// Command and Control both become Ctrl: Linux has no separate Command key for shortcuts.
QKeySequence keySequence(const MenuItem &item) {
    if (item.keyEquivalent().isEmpty())
        return {};
    const Modifiers mask = item.keyEquivalentModifierMask();
    QString text;
    if (mask & (Modifier::command | Modifier::control))
        text += QStringLiteral("Ctrl+");
    if (mask & Modifier::option)
        text += QStringLiteral("Alt+");
    if (mask & Modifier::shift)
        text += QStringLiteral("Shift+");
    return QKeySequence::fromString(text + item.keyEquivalent().toUpper(), QKeySequence::PortableText);
}

QColor resolvedColor(const TextColor &color, const QPalette &palette) {
    switch (color.role) {
    case TextColor::Role::custom:
        return color.color;
    case TextColor::Role::label:
        return palette.color(QPalette::Text);
    case TextColor::Role::secondaryLabel: {
        QColor secondary = palette.color(QPalette::Text);
        secondary.setAlphaF(0.55f);
        return secondary;
    }
    }
    return {};
}

// Appended whole and flushed at once: an end-to-end run reads the file while the menu is open.
void appendToFile(const QString &path, const QString &text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    file.write(text.toUtf8());
    file.flush();
}

// With KESTROVA_MENU_DUMP naming a file, every menu shown is appended to it as the model dump, so an
// end-to-end run can read what a screenshot shows. Off (and free) without the variable.
void appendMenuDump(const Menu &menu) {
    const QString path = qEnvironmentVariable("KESTROVA_MENU_DUMP");
    if (path.isEmpty())
        return;
    appendToFile(path, QStringLiteral("menu \"%1\"\n%2\n").arg(menu.title(), menu.dump()));
}

QString geometryDumpPath() {
    return qEnvironmentVariable("KESTROVA_MENU_GEOMETRY");
}

// With KESTROVA_MENU_GEOMETRY naming a file, every shown menu appends where its rows are on screen, so an
// end-to-end run can point at a row instead of counting key presses:
//   menu "<title>"
//   <x> <y> <width> <height> "<row title>"[ disabled]
// Separators and hidden rows are left out; a block ends with an empty line.
void appendMenuGeometry(PresentedMenu &menu, const QString &path) {
    const auto model = menu.model().lock();
    if (!model)
        return;
    QString text = QStringLiteral("menu ") + Menu::quotedTitle(model->title()) + QLatin1Char('\n');
    for (const auto &row : menu.rows()) {
        const auto item = row.item.lock();
        if (!item || item->isSeparator() || !row.action->isVisible())
            continue;
        const QRect local = menu.actionGeometry(row.action);
        const QPoint global = menu.mapToGlobal(local.topLeft());
        const QString title = item->displayedTitle();
        text += QStringLiteral("%1 %2 %3 %4 ")
                    .arg(global.x())
                    .arg(global.y())
                    .arg(local.width())
                    .arg(local.height()) +
                Menu::quotedTitle(title.isEmpty() ? item->accessibilityDescription() : title);
        if (!row.action->isEnabled())
            text += QStringLiteral(" disabled");
        text += QLatin1Char('\n');
    }
    text += QLatin1Char('\n');
    appendToFile(path, text);
}

} // namespace

} // namespace kestrova::platform::desktop

Q_DECLARE_METATYPE(kestrova::platform::desktop::ItemHandle)
Q_DECLARE_METATYPE(kestrova::platform::TextColor)

namespace kestrova::platform::desktop {

std::size_t PresentedMenuBookkeeping::steps = 0;

struct MenuPresenter::Presentation {
    QPointer<PresentedMenu> root;
    // Every menu made for this showing, deepest last; freed ones linger as null until the next compaction.
    std::vector<QPointer<PresentedMenu>> menus;
    // The number of entries left by the last compaction: the next one waits until the list has doubled, so
    // forgetting freed menus costs a constant amount per menu made, however many rows have submenus.
    std::size_t menusAtCompaction = 0;
    int pendingCloses = 0;
    bool rootHidden = false;
    bool finished = false;
    std::shared_ptr<MenuItem> chosen;
    // Where the root opens, for the screen its menus must fit on.
    std::optional<QPoint> anchor;
    // Held from the root's showing until the showing is over (or forgotten), so that work which must not
    // run inside a menu waits.
    MenuTracking::Tracking tracking;
};

Modifiers modifiersFromQt(Qt::KeyboardModifiers modifiers) {
    // The model's modifier masks use the same bits as the keyboard state's flags.
    constexpr quint64 kMenuModifiers =
        ModifierFlag::shift | ModifierFlag::control | ModifierFlag::option | ModifierFlag::command;
    return Modifiers::fromInt(
        static_cast<Modifiers::Int>(DesktopKeyboardState::flagsFromQtModifiers(modifiers) & kMenuModifiers));
}

void PresentedMenu::showEvent(QShowEvent *event) {
    QMenu::showEvent(event);
    if (geometryDumpPath().isEmpty())
        return;
    // Places are only final once the window system has mapped the popup.
    m_geometryPending = true;
    QWindow *window = windowHandle();
    if (!window)
        return;
    if (!m_watchesWindow) {
        window->installEventFilter(this);
        m_watchesWindow = true;
    }
}

PresentedMenu::~PresentedMenu() {
    releaseWindow();
}

void PresentedMenu::releaseWindow() {
    m_window.reset();
}

void PresentedMenu::resizeEvent(QResizeEvent *event) {
    QMenu::resizeEvent(event);
    // Qt places a menu once, as it opens; a row whose content arrives later (a preview) resizes it in place.
    if (isVisible())
        m_presenter->keepOnScreen(this);
}

void PresentedMenu::hideEvent(QHideEvent *event) {
    m_geometryPending = false;
    QMenu::hideEvent(event);
}

bool PresentedMenu::eventFilter(QObject *watched, QEvent *event) {
    if (m_geometryPending && event->type() == QEvent::Expose && watched == windowHandle() &&
        windowHandle()->isExposed()) {
        m_geometryPending = false;
        if (const QString path = geometryDumpPath(); !path.isEmpty())
            appendMenuGeometry(*this, path);
    }
    return QMenu::eventFilter(watched, event);
}

// QMenu::setActiveAction also opens the row's submenu at once, which builds it (a subfolder is listed) and
// hands it the keyboard, so the rest of a typed name or the next Page Down would go to that submenu.
// Without its submenu for that moment the row is only highlighted, as the arrow keys do it.
void PresentedMenu::highlight(QAction *row) {
    if (!row || row == activeAction())
        return;
    QMenu *const submenu = row->menu();
    if (submenu)
        row->setMenu(nullptr);
    setActiveAction(row);
    if (submenu)
        row->setMenu(submenu);
}

std::optional<std::size_t> PresentedMenu::activeRow() const {
    const QAction *active = activeAction();
    for (std::size_t index = 0; active && index < m_rows.size(); ++index) {
        if (m_rows[index].action == active)
            return index;
    }
    return std::nullopt;
}

QIcon PresentedMenu::iconFor(const QImage &image) {
    if (image.isNull())
        return {};
    // Copies of one image share its cache key: a folder's rows of one kind become one pixmap, not one each.
    const auto [it, inserted] = m_icons.try_emplace(image.cacheKey());
    if (inserted)
        it->second = QIcon(QPixmap::fromImage(image));
    return it->second;
}

void PresentedMenu::initStyleOption(QStyleOptionMenuItem *option, const QAction *action) const {
    QMenu::initStyleOption(option, action);
    const QColor color = MenuPresenter::textColorForAction(action, option->palette);
    if (!color.isValid())
        return;
    option->palette.setColor(QPalette::Text, color);
    option->palette.setColor(QPalette::WindowText, color);
    option->palette.setColor(QPalette::ButtonText, color);
}

void PresentedMenu::keyPressEvent(QKeyEvent *event) {
    // A modifier alone only swaps alternates; Alt would otherwise close the menu.
    if (modifierForKey(event->key())) {
        m_presenter->modifierKeyChanged(event->key(), /*pressed=*/true);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QAction *row = activeAction();
        PresentedMenu *rowMenu = this;
        // A submenu opened by hovering has the keyboard but nothing highlighted: the highlighted row is
        // the one in the menu behind it that holds this submenu.
        if (!row) {
            auto *parentMenu = qobject_cast<PresentedMenu *>(parentWidget());
            if (parentMenu && parentMenu->activeAction() && parentMenu->activeAction()->menu() == this) {
                row = parentMenu->activeAction();
                rowMenu = parentMenu;
            }
        }
        if (row && m_presenter->chooseRowWithSubmenu(rowMenu, row)) {
            event->accept();
            return;
        }
    }
    if (typeAhead(event)) {
        event->accept();
        return;
    }
    // Any other key ends the name being typed.
    m_typed.clear();
    if (m_presenter->moveHighlight(this, event->key())) {
        event->accept();
        return;
    }
    QMenu::keyPressEvent(event);
}

bool PresentedMenu::typeAhead(QKeyEvent *event) {
    constexpr qint64 kTypingPauseMilliseconds = 1000;
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint() ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    if (!m_typedAt.isValid() || m_typedAt.hasExpired(kTypingPauseMilliseconds))
        m_typed.clear();
    // Space alone still chooses the highlighted row; inside a name it is part of the name.
    if (m_typed.isEmpty() && text == QStringLiteral(" "))
        return false;
    m_typedAt.start();
    m_typed += text;
    // The same letter again moves on to the next row it begins; a longer name stays on a row it still fits.
    const bool repeatsOneLetter =
        m_typed.size() == text.size() || m_typed.count(text.at(0)) == m_typed.size();
    m_presenter->highlightTyped(this, repeatsOneLetter ? text : m_typed, repeatsOneLetter);
    if (repeatsOneLetter)
        m_typed = text;
    return true;
}

void PresentedMenu::keyReleaseEvent(QKeyEvent *event) {
    if (modifierForKey(event->key())) {
        m_presenter->modifierKeyChanged(event->key(), /*pressed=*/false);
        event->accept();
        return;
    }
    QMenu::keyReleaseEvent(event);
}

void PresentedMenu::mousePressEvent(QMouseEvent *event) {
    // While a popup is open the press on another tray icon comes here and Qt would only close the menu,
    // leaving the user a second click.
    const QPoint global = event->globalPosition().toPoint();
    if (!rect().contains(event->position().toPoint()) && m_presenter->handleOutsidePress(global)) {
        event->accept();
        return;
    }
    m_pressedAction = actionAt(event->position().toPoint());
    QMenu::mousePressEvent(event);
}

void PresentedMenu::mouseReleaseEvent(QMouseEvent *event) {
    const QPointer<QAction> pressed = std::exchange(m_pressedAction, nullptr);
    QAction *action = actionAt(event->position().toPoint());
    if (action && action == pressed && m_presenter->chooseRowWithSubmenu(this, action)) {
        event->accept();
        return;
    }
    QMenu::mouseReleaseEvent(event);
}

MenuPresenter::MenuPresenter(QObject *parent)
    : QObject(parent)
    , m_modifierSource([] { return QGuiApplication::queryKeyboardModifiers(); }) {}

MenuPresenter::~MenuPresenter() {
    // Hidden first, so that their models hear of the close (see menuAboutToHide).
    close();
    // The menus use our style: they go first, and they are top-level widgets nobody else frees.
    if (m_current && m_current->root)
        delete m_current->root.data();
    delete m_style;
}

void MenuPresenter::setIconSize(int pixels) {
    m_iconSize = pixels;
    if (m_style)
        m_style->setIconSize(pixels);
}

QString MenuPresenter::escapedTitle(const QString &title) {
    QString escaped = title;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    escaped.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return escaped;
}

std::shared_ptr<MenuItem> MenuPresenter::itemForAction(const QAction *action) {
    if (!action)
        return nullptr;
    const QVariant handle = action->property(kItemProperty);
    if (!handle.canConvert<ItemHandle>())
        return nullptr;
    return handle.value<ItemHandle>().item.lock();
}

QColor MenuPresenter::textColorForAction(const QAction *action, const QPalette &palette) {
    if (!action)
        return {};
    const QVariant color = action->property(kColorProperty);
    if (!color.canConvert<TextColor>())
        return {};
    return resolvedColor(color.value<TextColor>(), palette);
}

bool MenuPresenter::isOpen() const {
    return m_current && m_current->root && !m_current->rootHidden && m_current->root->isVisible();
}

QMenu *MenuPresenter::openMenu() const {
    return isOpen() ? m_current->root.data() : nullptr;
}

void MenuPresenter::close() {
    if (!m_current)
        return;
    // Deepest first: hiding the root alone can leave an open submenu behind on some platforms.
    for (auto it = m_current->menus.rbegin(); it != m_current->menus.rend(); ++it) {
        if (*it && (*it)->isVisible())
            (*it)->hide();
    }
}

bool MenuPresenter::chooseRowWithSubmenu(PresentedMenu *menu, QAction *action) {
    if (!action->menu() || !action->isEnabled() || !action->isVisible())
        return false;
    const std::shared_ptr<MenuItem> item = itemForAction(action);
    if (!item || !item->hasAction() || !item->isEnabled() || menu->presentation() != m_current)
        return false;
    // Chosen as Qt chooses a plain row: the action runs once the whole chain has closed.
    m_current->chosen = item;
    close();
    return true;
}

namespace {

bool canHighlight(const PresentedMenu::Row &row, bool disabledRowsToo) {
    return row.rawItem && row.action->isVisible() && !row.action->isSeparator() &&
           (disabledRowsToo || row.action->isEnabled());
}

} // namespace

void MenuPresenter::highlightTyped(PresentedMenu *menu, const QString &typed, bool fromNextRow) {
    if (menu->window()) {
        highlightTypedInWindow(menu, typed, fromNextRow);
        return;
    }
    const auto &rows = menu->rows();
    const std::optional<std::size_t> active = menu->activeRow();
    const std::size_t start = active ? *active + (fromNextRow ? 1 : 0) : 0;
    const auto found = rowBeginningWith(typed, rows.size(), start, [&rows](std::size_t index) {
        const auto &row = rows[index];
        return canHighlight(row, true) ? std::optional(row.rawItem->displayedTitle()) : std::nullopt;
    });
    if (found)
        menu->highlight(rows[*found].action);
}

bool MenuPresenter::moveHighlight(PresentedMenu *menu, int key) {
    if (menu->window())
        return moveWindowHighlight(menu, key);
    if (key != Qt::Key_Home && key != Qt::Key_End && key != Qt::Key_PageUp && key != Qt::Key_PageDown)
        return false;
    const auto &rows = menu->rows();
    const bool disabledRowsToo =
        menu->style()->styleHint(QStyle::SH_Menu_AllowActiveAndDisabled, nullptr, menu);
    // A page is the rows the window shows, less one so that the last row of a page stays in sight.
    const QAction *anyRow = rows.empty() ? nullptr : rows.front().action;
    const int rowHeight = anyRow ? std::max(1, menu->actionGeometry(rows.front().action).height()) : 1;
    const std::size_t page = std::size_t(std::max(1, menu->height() / rowHeight - 1));
    const auto target = rowForMovementKey(key, rows.size(), menu->activeRow(), page, [&](std::size_t index) {
        return canHighlight(rows[index], disabledRowsToo);
    });
    if (target)
        menu->highlight(rows[*target].action);
    return true;
}

QMenu *MenuPresenter::present(const std::shared_ptr<Menu> &menu) {
    if (!menu)
        return nullptr;
    close();
    if (m_current && m_current->root && m_current->pendingCloses == 0 && !m_current->root->isVisible()) {
        // Never shown, or fully closed: nothing is pending on it.
        m_current->root->deleteLater();
    }
    ensureStyle();
    auto presentation = std::make_shared<Presentation>();
    PresentedMenu *root = createMenu(menu, presentation, nullptr);
    presentation->root = root;
    connect(root, &QMenu::triggered, this,
            [presentation](QAction *action) { presentation->chosen = itemForAction(action); });
    m_current = presentation;
    return root;
}

QMenu *MenuPresenter::popup(const std::shared_ptr<Menu> &menu, const QPoint &globalPosition) {
    QMenu *root = present(menu);
    if (m_current)
        m_current->anchor = globalPosition;
    if (root)
        root->popup(globalPosition);
    return root;
}

PresentedMenu *MenuPresenter::createMenu(const std::shared_ptr<Menu> &model,
                                         const std::shared_ptr<Presentation> &presentation, QWidget *parent) {
    auto *menu = new PresentedMenu(this, model, presentation, parent);
    menu->setStyle(m_style);
    menu->setSeparatorsCollapsible(false);
    menu->setToolTipsVisible(true);
    if (model)
        menu->setTitle(escapedTitle(model->title()));
    // Submenus are made afresh on every opening; forget the freed ones now and then (see Presentation).
    auto &menus = presentation->menus;
    if (menus.size() >= 2 * std::max<std::size_t>(presentation->menusAtCompaction, 8)) {
        PresentedMenuBookkeeping::steps += menus.size();
        std::erase_if(menus, [](const QPointer<PresentedMenu> &existing) { return existing.isNull(); });
        presentation->menusAtCompaction = menus.size();
    }
    menus.emplace_back(menu);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { menuAboutToShow(menu); });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] { menuAboutToHide(menu); });
    return menu;
}

void MenuPresenter::menuAboutToShow(PresentedMenu *menu) {
    const auto &presentation = menu->presentation();
    if (menu == presentation->root) {
        if (!presentation->tracking)
            presentation->tracking = MenuTracking::begin();
        presentation->rootHidden = false;
        presentation->chosen.reset();
        m_heldModifiers = modifiersFromQt(m_modifierSource ? m_modifierSource() : Qt::NoModifier);
    }
    const auto model = menu->model().lock();
    if (model) {
        model->menuNeedsUpdate();
        model->menuWillOpen();
        appendMenuDump(*model);
    }
    populate(menu);
    if (model)
        takeRowsWhenTheyCome(menu, *model);
}

// Rows that are slow to come (a folder on a slow disk) are not waited for: the menu opens with what it has
// and takes them as they arrive, so the keyboard and the pointer keep answering meanwhile.
void MenuPresenter::takeRowsWhenTheyCome(PresentedMenu *menu, Menu &model) {
    if (!model.isAwaitingContents()) {
        menu->awaitedRows().cancel();
        return;
    }
    const QPointer<PresentedMenu> shown(menu);
    menu->awaitedRows() = model.observeAwaitingContents([shown](bool isAwaiting) {
        if (isAwaiting || !shown)
            return;
        // On a later turn: the builder completes the menu after it drops the flag. A menu closed meanwhile
        // is filled afresh when it next opens.
        QTimer::singleShot(0, shown, [shown] {
            if (!shown || !shown->isVisible())
                return;
            shown->presenter()->populate(shown);
            shown->resize(shown->sizeHint());
            if (const auto model = shown->model().lock())
                appendMenuDump(*model);
            if (const QString path = geometryDumpPath(); !path.isEmpty())
                appendMenuGeometry(*shown, path);
        });
    });
}

void MenuPresenter::menuAboutToHide(PresentedMenu *menu) {
    const auto presentation = menu->presentation();
    if (menu == presentation->root)
        presentation->rootHidden = true;
    ++presentation->pendingCloses;
    // Told on a later turn: Qt reports the chosen action only after the chain has hidden, and the model
    // must hear of the close before the action runs. The model is told even when the presenter has gone
    // meanwhile, or it would stay open for good (and with it whatever watches it being open).
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [self = QPointer<MenuPresenter>(this), presentation, weakModel = menu->model()] {
                           if (const auto model = weakModel.lock())
                               model->menuDidClose();
                           --presentation->pendingCloses;
                           if (self)
                               self->finishIfClosed(presentation);
                       });
}

void MenuPresenter::finishIfClosed(const std::shared_ptr<Presentation> &presentation) {
    if (presentation->finished || !presentation->rootHidden || presentation->pendingCloses > 0)
        return;
    if (presentation->root && presentation->root->isVisible())
        return;
    presentation->finished = true;
    // Tracking ends before the chosen action runs, as it would once the menu is gone.
    presentation->tracking.reset();
    const std::shared_ptr<MenuItem> chosen = std::move(presentation->chosen);
    if (presentation->root)
        presentation->root->deleteLater();
    if (m_current == presentation)
        m_current.reset();
    const QPointer<MenuPresenter> self(this);
    if (chosen)
        chosen->performAction();
    if (self)
        Q_EMIT menuClosed();
}

QRect MenuPresenter::availableArea(PresentedMenu *menu) const {
    // A submenu opens beside the menu behind it; the root where it was asked to open, else at the pointer.
    QScreen *screen = nullptr;
    if (menu->parentWidget())
        screen = menu->parentWidget()->screen();
    else if (const auto &anchor = menu->presentation()->anchor)
        screen = QGuiApplication::screenAt(*anchor);
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const int frame = menu->style()->pixelMetric(QStyle::PM_MenuDesktopFrameWidth, nullptr, menu);
    return screen->availableGeometry().adjusted(frame, frame, -frame, -frame);
}

void MenuPresenter::keepOnScreen(PresentedMenu *menu) {
    const QRect area = availableArea(menu);
    if (!area.isValid())
        return;
    const QRect placed = menu->geometry();
    // The bottom and right edges give way first: the top-left corner is what must stay reachable.
    const int x = std::max(area.left(), std::min(placed.left(), area.right() + 1 - placed.width()));
    const int y = std::max(area.top(), std::min(placed.top(), area.bottom() + 1 - placed.height()));
    if (x != placed.left() || y != placed.top())
        menu->move(x, y);
}

void MenuPresenter::ensureStyle() {
    if (!m_style)
        m_style = new MenuRowStyle(m_iconSize);
}

void MenuPresenter::populate(PresentedMenu *menu) {
    // Rows of an earlier opening go on a later turn: one of them may be the action being delivered.
    for (QAction *action : menu->actions())
        menu->releaseAction(action);
    menu->rows().clear();
    menu->releaseWindow();
    menu->clearIcons();
    menu->setMinimumWidth(0);
    const auto model = menu->model().lock();
    if (!model)
        return;
    // Beyond this many rows a menu holds actions only for the rows on screen: building, laying out and
    // sizing an action per row costs more than the whole window of them, and Qt's insertAction looks
    // through every action already there before adding one.
    if (model->numberOfItems() > m_windowedAbove) {
        populateWindow(menu, *model);
        return;
    }
    menu->rows().reserve(model->numberOfItems());
    bool checkedRowWithImage = false;
    for (const auto &item : model->items()) {
        addRow(menu, item);
        checkedRowWithImage |= item->state() != MenuItem::State::off && !item->image().isNull();
    }
    if (model->isAwaitingContents() && model->displayedItems().empty()) {
        // Until its rows come a menu shows that they are on their way, not an empty frame.
        QAction *waiting = menu->addAction(kAwaitingRowsTitle);
        waiting->setEnabled(false);
    }
    MenuRowStyle::setHasCheckColumn(menu, checkedRowWithImage);
    reserveWidth(menu);
    applyModifiers(menu, m_heldModifiers);
}

void MenuPresenter::addRow(PresentedMenu *menu, const std::shared_ptr<MenuItem> &item) {
    PresentedMenu::Row row{item, item.get(), nullptr, item->isAlternate(), false};
    QAction *action = nullptr;
    const auto &hosted = item->hostedView();

    if (item->isSeparator()) {
        action = menu->addSeparator();
    } else if (hosted && hosted->isEmptyView()) {
        // The spacer before a hidden alternate: it only keeps the alternate's place.
        action = new QAction(menu);
        menu->addAction(action);
        row.isPlaceholder = true;
    } else if (hosted) {
        action = hostedAction(menu, *hosted);
        menu->addAction(action);
    } else if (item->hasSubmenu()) {
        PresentedMenu *submenu = createMenu(item->submenu(), menu->presentation(), menu);
        action = menu->addMenu(submenu);
    } else {
        action = new QAction(menu);
        menu->addAction(action);
    }

    if (!item->isSeparator() && !row.isPlaceholder)
        bindAction(menu, action, *item);
    setRowItem(action, item);
    row.action = action;
    menu->rows().push_back(std::move(row));
}

void MenuPresenter::setRowItem(QAction *action, const std::shared_ptr<MenuItem> &item) {
    action->setProperty(kItemProperty, QVariant::fromValue(ItemHandle{item}));
}

QWidgetAction *MenuPresenter::hostedAction(PresentedMenu *menu, const HostedViewFactory &hosted) {
    auto *widgetAction = new QWidgetAction(menu);
    const auto *factory = dynamic_cast<const HostedWidgetFactory *>(&hosted);
    QWidget *widget = factory ? factory->createWidget() : nullptr;
    if (!widget)
        widget = new QLabel(hosted.description());
    widgetAction->setDefaultWidget(widget);
    return widgetAction;
}

// Everything a content row shows, each field set whatever an earlier row left on the action. The cost is
// constant per row: the title is escaped once, and rows sharing an image share one icon (see iconFor).
void MenuPresenter::bindAction(PresentedMenu *menu, QAction *action, const MenuItem &item) {
    const QString text = item.displayedTitle();
    action->setText(escapedTitle(text));
    const std::optional<AttributedText> &attributed = item.attributedTitle();
    std::optional<QFont> font;
    std::optional<TextColor> color;
    if (attributed) {
        font = attributed->wholeStringFont();
        color = attributed->wholeStringColor();
    }
    action->setFont(font.value_or(QFont()));
    action->setProperty(kColorProperty, color ? QVariant::fromValue(*color) : QVariant());
    action->setIcon(menu->iconFor(item.image()));
    action->setEnabled(item.isEnabled());
    action->setCheckable(item.state() != MenuItem::State::off);
    action->setChecked(item.state() == MenuItem::State::on);
    const QKeySequence shortcut = keySequence(item);
    action->setShortcut(shortcut);
    action->setShortcutVisibleInContextMenu(!shortcut.isEmpty());
    QString toolTip = item.toolTip();
    if (toolTip.isEmpty() && text.isEmpty())
        toolTip = item.accessibilityDescription();
    action->setToolTip(toolTip.isEmpty() ? text : toolTip);
}

void MenuPresenter::reserveWidth(PresentedMenu *menu) {
    std::set<Modifiers::Int> states;
    for (const auto &row : menu->rows()) {
        if (row.isAlternate && row.rawItem)
            states.insert(row.rawItem->keyEquivalentModifierMask().toInt());
    }
    if (states.empty())
        return;
    // The widest of every state, so that swapping alternates in an open menu never resizes it (a wider
    // parent would slide over its open submenus).
    int width = 0;
    states.insert(0);
    for (const Modifiers::Int state : states) {
        applyModifiers(menu, Modifiers::fromInt(state));
        width = std::max(width, menu->sizeHint().width());
    }
    menu->setMinimumWidth(width);
}

void MenuPresenter::applyModifiers(PresentedMenu *menu, Modifiers modifiers) {
    const auto model = menu->model().lock();
    if (!model)
        return;
    if (menu->window()) {
        // The alternates take their rows' places: the highlight stays where it is.
        showWindowRows(menu, *model, modifiers);
        return;
    }
    std::unordered_set<const MenuItem *> displayed;
    for (const auto &item : model->displayedItems(modifiers))
        displayed.insert(item.get());

    QAction *active = menu->activeAction();
    auto &rows = menu->rows();
    for (auto &row : rows) {
        const bool visible = !row.isPlaceholder && displayed.contains(row.rawItem);
        if (row.action->isVisible() != visible)
            row.action->setVisible(visible);
    }
    if (!active || active->isVisible())
        return;
    // Hiding the highlighted row clears the highlight: hand it to the row that took its place.
    const auto it =
        std::find_if(rows.begin(), rows.end(), [active](const auto &row) { return row.action == active; });
    if (it == rows.end())
        return;
    auto first = it;
    while (first != rows.begin() && first->isAlternate)
        --first;
    auto last = it + 1;
    while (last != rows.end() && last->isAlternate)
        ++last;
    for (auto candidate = first; candidate != last; ++candidate) {
        if (candidate->action->isVisible()) {
            menu->setActiveAction(candidate->action);
            return;
        }
    }
}

void MenuPresenter::modifierKeyChanged(int key, bool pressed) {
    const auto modifier = modifierForKey(key);
    if (!modifier)
        return;
    const Modifiers before = m_heldModifiers;
    m_heldModifiers.setFlag(*modifier, pressed);
    if (before == m_heldModifiers || !m_current)
        return;
    // Only the deepest popup hears the key: every open menu of the chain follows it.
    for (const auto &menu : m_current->menus) {
        if (menu && menu->isVisible())
            applyModifiers(menu, m_heldModifiers);
    }
}

bool MenuPresenter::handleOutsidePress(const QPoint &globalPosition) {
    if (!m_current || !m_outsidePress)
        return false;
    for (const auto &menu : m_current->menus) {
        if (menu && menu->isVisible() && menu->geometry().contains(globalPosition))
            return false;
    }
    if (!m_outsidePress(globalPosition))
        return false;
    close();
    return true;
}

} // namespace kestrova::platform::desktop
