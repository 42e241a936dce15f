// Long menus: a PresentedMenu that holds actions only for the rows on screen.
//
// The model stays the whole menu; the popup keeps its displayed rows as weak references and a window over
// them (MenuRowWindow). Only the rows in the window have actions, bound afresh as the window moves, so
// they are still QMenu rows: hover, clicks, Return and Right, alternates, check marks, hosted rows and
// accessibility behave as in a short menu. A row's submenu is an empty menu until it opens, and the slot
// keeps it for the next row bound there. Keys that move the highlight, typing and the wheel move the
// window; the popup keeps one size, as wide as its widest row and at most as tall as its screen.
//
// A model's row source (Menu::addRows) is left unmade: only the rows bound to the window and the few with
// the longest titles, made to size the popup, exist, so an opening costs the same at any length.
#include "platform/menus/Menu.h"
#include "platform/desktop/menus/MenuPresenter_p.h"
#include "platform/desktop/menus/MenuRowStyle_p.h"

#include <QPainter>
#include <QStyle>
#include <QWheelEvent>
#include <QWidgetAction>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace kestrova::platform::desktop {

namespace {

// How many of the widest rows are measured as Qt lays them out, to size the popup.
constexpr std::size_t kWidthSamples = 12;
// How many rows of a row source, picked by their titles' lengths, are made to find the widest of them.
constexpr std::size_t kSourceWidthCandidates = 64;
constexpr int kRowsPerWheelStep = 3;
constexpr int kWheelStep = 120;

bool takesRoom(const MenuItem &item) {
    return !(item.hostedView() && item.hostedView()->isEmptyView());
}

// The advances of the characters of one font, measured once each for the life of the process: a menu
// font rarely changes, and a row then costs a lookup per character rather than a text layout. Kept in
// pages of 256 characters, made when one of their characters first shows, so a few scripts cost a few KB.
class CharacterAdvances {
public:
    int advance(const QFont &font, QChar character) {
        if (!m_metrics || font != m_font) {
            m_font = font;
            m_metrics.emplace(font);
            m_pages.clear();
            m_pages.resize(0x100);
        }
        auto &page = m_pages[character.unicode() >> 8];
        if (!page) {
            page = std::make_unique<std::array<int, 0x100>>();
            page->fill(-1);
        }
        int &advance = (*page)[character.unicode() & 0xff];
        if (advance < 0)
            advance = m_metrics->horizontalAdvance(character);
        return advance;
    }

private:
    QFont m_font;
    std::optional<QFontMetrics> m_metrics;
    std::vector<std::unique_ptr<std::array<int, 0x100>>> m_pages;
};

// Roughly how wide a row's text is, to find the widest rows. Rows in a font of their own are measured
// exactly (they are few). Qt measures the widest rows found here exactly.
class TextWidths {
public:
    explicit TextWidths(const QFont &font)
        : m_font(font)
        , m_metrics(font) {}

    int width(const MenuItem &item) {
        if (const auto &attributed = item.attributedTitle()) {
            if (const auto font = attributed->wholeStringFont())
                return exactWidth(item, QFontMetrics(font->resolve(m_font)));
        }
        static CharacterAdvances advances;
        const QString title = item.displayedTitle();
        int line = 0;
        int widest = 0;
        for (const QChar character : title) {
            if (character == QLatin1Char('\n')) {
                widest = std::max(widest, line);
                line = 0;
                continue;
            }
            line += advances.advance(m_font, character);
        }
        return std::max(widest, line) + shortcutWidth(item, m_metrics);
    }

private:
    static int shortcutWidth(const MenuItem &item, const QFontMetrics &metrics) {
        return item.keyEquivalent().isEmpty() ? 0
                                              : metrics.horizontalAdvance(QStringLiteral("Ctrl+Alt+Shift+W"));
    }
    static int exactWidth(const MenuItem &item, const QFontMetrics &metrics) {
        int widest = 0;
        for (const QString &line : item.displayedTitle().split(QLatin1Char('\n')))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        return widest + shortcutWidth(item, metrics);
    }

    QFont m_font;
    QFontMetrics m_metrics;
};

// Gives the menu exactly `count` row actions, adding plain ones or dropping from the end.
void resizeSlots(PresentedMenu *menu, std::size_t count) {
    auto &rows = menu->rows();
    while (rows.size() > count) {
        menu->releaseAction(rows.back().action);
        rows.pop_back();
    }
    while (rows.size() < count) {
        auto *action = new QAction(menu);
        menu->addAction(action);
        rows.push_back({{}, nullptr, action, false, false});
    }
}

// A slot turned separator shows nothing of the row bound there before (a style draws a separator's text).
void clearRow(QAction *action) {
    action->setText(QString());
    action->setIcon(QIcon());
    action->setToolTip(QString());
    action->setCheckable(false);
    action->setShortcut(QKeySequence());
}

} // namespace

void PresentedMenu::WindowRows::assign(const Menu::DisplayedRows &displayed) {
    const auto keep = [](const std::vector<std::shared_ptr<MenuItem>> &items) {
        std::vector<std::weak_ptr<MenuItem>> kept;
        kept.reserve(items.size());
        for (const auto &item : items) {
            if (takesRoom(*item))
                kept.emplace_back(item);
        }
        return kept;
    };
    before = keep(displayed.before);
    sourceRows = displayed.sourceRows;
    after = keep(displayed.after);
}

std::shared_ptr<MenuItem> PresentedMenu::WindowRows::item(const Menu *model, std::size_t row) const {
    if (row < before.size())
        return before[row].lock();
    row -= before.size();
    if (row < sourceRows) {
        if (!model)
            return nullptr;
        if (model->rowSource())
            return model->sourceItem(row);
        // Someone asked for every item meanwhile (a tray host reading the menu): the source's rows were
        // all made and stand where the source stood.
        const auto &made = model->madeItems();
        const std::size_t at = before.size() + row;
        return at < made.size() ? made[at] : nullptr;
    }
    row -= sourceRows;
    return row < after.size() ? after[row].lock() : nullptr;
}

std::optional<QString> PresentedMenu::WindowRows::title(const Menu *model, std::size_t row) const {
    if (model && model->rowSource() && row >= before.size() && row - before.size() < sourceRows)
        return model->rowSource()->title(row - before.size());
    const auto found = item(model, row);
    return found && !found->isSeparator() ? std::optional(found->displayedTitle()) : std::nullopt;
}

bool PresentedMenu::WindowRows::canHighlight(std::size_t row, bool disabledRowsToo) const {
    // The source's rows are plain enabled rows, known as such without making them.
    if (row >= before.size() && row - before.size() < sourceRows)
        return true;
    const auto found = item(nullptr, row);
    return found && !found->isSeparator() && (disabledRowsToo || found->isEnabled());
}

void PresentedMenu::releaseAction(QAction *action) {
    removeAction(action);
    if (QMenu *submenu = action->menu()) {
        submenu->hide();
        submenu->deleteLater();
    }
    if (action->parent() == this)
        action->deleteLater();
}

QSize PresentedMenu::sizeHint() const {
    if (m_window && m_window->size.isValid())
        return m_window->size;
    return QMenu::sizeHint();
}

void PresentedMenu::wheelEvent(QWheelEvent *event) {
    if (!m_window) {
        QMenu::wheelEvent(event);
        return;
    }
    m_window->wheelRemainder += event->angleDelta().y();
    const int steps = m_window->wheelRemainder / kWheelStep;
    m_window->wheelRemainder -= steps * kWheelStep;
    if (steps != 0)
        m_presenter->scrollWindow(this, -std::ptrdiff_t(steps) * kRowsPerWheelStep);
    event->accept();
}

void PresentedMenu::paintEvent(QPaintEvent *event) {
    QMenu::paintEvent(event);
    if (!m_window || m_window->window.visible() >= m_window->window.rowCount())
        return;
    // Where the window is among the rows: a thin bar at the right edge.
    const MenuRowWindow &window = m_window->window;
    const int frame = style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, this);
    const QRect track = rect().adjusted(0, frame + 1, -frame - 1, -frame - 1);
    const int thumbHeight =
        std::max(12, int(qint64(track.height()) * qint64(window.visible()) / qint64(window.rowCount())));
    const std::size_t lastFirst = window.rowCount() - window.visible();
    const int top =
        track.top() + int(qint64(track.height() - thumbHeight) * qint64(window.first()) / qint64(lastFirst));
    QColor color = palette().color(QPalette::Text);
    color.setAlphaF(0.35f);
    QPainter painter(this);
    painter.fillRect(QRect(track.right() - 2, top, 3, thumbHeight), color);
}

void MenuPresenter::populateWindow(PresentedMenu *menu, const Menu &model) {
    auto &window = menu->window().emplace();
    bool checkedRowWithImage = false;
    // The source's rows are never checked.
    for (const auto &item : model.madeItems())
        checkedRowWithImage |= item->state() != MenuItem::State::off && !item->image().isNull();
    MenuRowStyle::setHasCheckColumn(menu, checkedRowWithImage);

    const QRect area = availableArea(menu);
    const int emptyHeight = menu->QMenu::sizeHint().height();
    const auto [width, sampleHeight, samples] = measureWidestRows(menu, model);

    window.rows.assign(model.displayedRows(m_heldModifiers));
    window.heightLimit = area.isValid() ? area.height() : 600;
    // A first guess of the rows that fit from the widest rows just laid out; fitting corrects it.
    const int sampleRowHeight = std::max(1, samples ? (sampleHeight - emptyHeight) / int(samples) : 1);
    window.window.reset(window.rows.size(),
                        std::size_t(std::max(1, (window.heightLimit - emptyHeight) / sampleRowHeight)));
    fitWindow(menu, 0, /*fromBottom=*/false);
    window.size = QSize(width, menu->QMenu::sizeHint().height());
    window.heightLimit = window.size.height();
    // Rows as wide as the window whichever rows it holds: Qt lays rows out at the widest of those bound,
    // which would leave the highlight and the submenu arrows short of the edge after scrolling.
    menu->setMinimumWidth(width);
}

void MenuPresenter::fitWindow(PresentedMenu *menu, std::size_t row, bool fromBottom) {
    auto &window = *menu->window();
    // The popup's height without rows, near enough for the jumps.
    const int emptyHeight = 2 * (menu->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu) +
                                 menu->style()->pixelMetric(QStyle::PM_MenuVMargin, nullptr, menu));
    const auto place = [&](std::size_t count) {
        count = std::max<std::size_t>(count, 1);
        const std::ptrdiff_t first =
            fromBottom ? std::ptrdiff_t(row) + 1 - std::ptrdiff_t(count) : std::ptrdiff_t(row);
        window.window.place(first, count);
        bindWindow(menu);
        return menu->QMenu::sizeHint().height();
    };
    const auto canGrow = [&] { return window.window.visible() < window.window.rowCount(); };
    // Rows differ in height (separators, titles, names of two lines): the count that fits is found by
    // laying the rows out, first in a few jumps by their average height, then one row at a time.
    int height = place(window.window.visible());
    for (int jump = 0; jump < 3 && height < window.heightLimit && canGrow(); ++jump) {
        const int rowHeight = std::max(1, (height - emptyHeight) / int(window.window.visible()));
        const int more = (window.heightLimit - height) / rowHeight;
        if (more <= 0)
            break;
        height = place(window.window.visible() + std::size_t(more));
    }
    while (height > window.heightLimit && window.window.visible() > 1)
        height = place(window.window.visible() - 1);
    // Room left for a short row (a separator) is used too.
    while (height < window.heightLimit && canGrow()) {
        const int more = place(window.window.visible() + 1);
        if (more > window.heightLimit) {
            height = place(window.window.visible() - 1);
            break;
        }
        height = more;
    }
}

void MenuPresenter::revealWindowRow(PresentedMenu *menu, std::size_t row) {
    const MenuRowWindow &window = menu->window()->window;
    if (window.contains(row))
        return;
    fitWindow(menu, row, /*fromBottom=*/row >= window.first());
}

MenuPresenter::WidestRows MenuPresenter::measureWidestRows(PresentedMenu *menu, const Menu &model) {
    TextWidths textWidths(menu->font());
    // Every made row, and of a row source's rows only those with the longest titles: made here, they are
    // held until measured.
    std::vector<std::shared_ptr<MenuItem>> items;
    for (const auto &item : model.madeItems()) {
        if (!item->isSeparator() && !item->isHidden() && takesRoom(*item))
            items.push_back(item);
    }
    if (const auto &source = model.rowSource()) {
        for (const std::size_t index : source->widestCandidates(kSourceWidthCandidates))
            items.push_back(model.sourceItem(index));
    }
    std::vector<std::pair<int, std::size_t>> widths;
    widths.reserve(items.size());
    for (std::size_t index = 0; index < items.size(); ++index) {
        const MenuItem &item = *items[index];
        // Hosted rows are as wide as their widgets say: measured whatever their titles.
        widths.emplace_back(item.hostedView() ? std::numeric_limits<int>::max() : textWidths.width(item),
                            index);
    }
    const std::size_t samples = std::min(kWidthSamples, widths.size());
    std::partial_sort(widths.begin(), widths.begin() + std::ptrdiff_t(samples), widths.end(),
                      [](const auto &a, const auto &b) { return a.first > b.first; });
    // Laid out by Qt as rows of this menu: images, check column, shortcuts and arrows counted as drawn.
    resizeSlots(menu, samples);
    for (std::size_t slot = 0; slot < samples; ++slot)
        bindSlot(menu, slot, items[widths[slot].second]);
    const QSize size = menu->QMenu::sizeHint();
    int width = size.width();
    if (const QRect area = availableArea(menu); area.isValid())
        width = std::min(width, area.width());
    return {width, size.height(), samples};
}

void MenuPresenter::showWindowRows(PresentedMenu *menu, const Menu &model, Modifiers modifiers) {
    auto &window = *menu->window();
    window.rows.assign(model.displayedRows(modifiers));
    const std::size_t first = window.window.first();
    window.window.reset(window.rows.size(), window.window.visible());
    // The alternates may be taller or shorter than the rows they stand in for.
    fitWindow(menu, std::min(first, window.rows.size() - std::min<std::size_t>(window.rows.size(), 1)),
              /*fromBottom=*/false);
}

void MenuPresenter::bindWindow(PresentedMenu *menu) {
    auto &window = *menu->window();
    const auto model = menu->model().lock();
    resizeSlots(menu, window.window.visible());
    std::vector<std::shared_ptr<MenuItem>> bound;
    bound.reserve(window.window.visible());
    for (std::size_t slot = 0; slot < window.window.visible(); ++slot) {
        bound.push_back(window.rows.item(model.get(), window.window.first() + slot));
        bindSlot(menu, slot, bound.back());
    }
    window.bound = std::move(bound);
    menu->update();
}

void MenuPresenter::bindSlot(PresentedMenu *menu, std::size_t slot, const std::shared_ptr<MenuItem> &item) {
    PresentedMenu::Row &row = menu->rows()[slot];
    QAction *action = row.action;
    const bool wantsHosted = item && item->hostedView();
    if (item && !row.item.expired() && row.rawItem == item.get() && !wantsHosted) {
        // Still the same row: only what it shows may have changed.
        if (!item->isSeparator())
            bindAction(menu, action, *item);
        return;
    }
    // A hosted row gets a fresh widget each time it comes on screen, and a plain row never keeps one.
    if (wantsHosted || qobject_cast<QWidgetAction *>(action)) {
        QAction *replacement = wantsHosted ? hostedAction(menu, *item->hostedView()) : new QAction(menu);
        menu->insertAction(action, replacement);
        menu->releaseAction(action);
        action = replacement;
    }
    row = {item, item.get(), action, false, false};
    if (!item) {
        // The model went away under the open menu.
        action->setVisible(false);
        return;
    }
    action->setSeparator(item->isSeparator());
    if (item->isSeparator())
        clearRow(action);
    auto *submenu = qobject_cast<PresentedMenu *>(action->menu());
    if (submenu && submenu->isVisible())
        submenu->hide();
    if (item->hasSubmenu() && !item->isSeparator() && !wantsHosted) {
        if (submenu) {
            submenu->setModel(item->submenu());
        } else {
            submenu = createMenu(item->submenu(), menu->presentation(), menu);
            action->setMenu(submenu);
        }
        submenu->setTitle(escapedTitle(item->submenu()->title()));
    } else if (submenu) {
        action->setMenu(static_cast<QMenu *>(nullptr));
        submenu->deleteLater();
    }
    if (!item->isSeparator())
        bindAction(menu, action, *item);
    setRowItem(action, item);
    action->setVisible(true);
}

bool MenuPresenter::moveWindowHighlight(PresentedMenu *menu, int key) {
    if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Home && key != Qt::Key_End &&
        key != Qt::Key_PageUp && key != Qt::Key_PageDown)
        return false;
    auto &window = *menu->window();
    const bool disabledRowsToo =
        menu->style()->styleHint(QStyle::SH_Menu_AllowActiveAndDisabled, nullptr, menu);
    std::optional<std::size_t> current;
    if (const auto slot = menu->activeRow())
        current = window.window.first() + *slot;
    const std::size_t page = std::max<std::size_t>(1, window.window.visible() - 1);
    const auto target = rowForMovementKey(key, window.rows.size(), current, page, [&](std::size_t row) {
        return window.rows.canHighlight(row, disabledRowsToo);
    });
    if (!target)
        return true;
    revealWindowRow(menu, *target);
    menu->highlight(menu->rows()[*target - window.window.first()].action);
    return true;
}

void MenuPresenter::highlightTypedInWindow(PresentedMenu *menu, const QString &typed, bool fromNextRow) {
    auto &window = *menu->window();
    std::size_t start = 0;
    if (const auto slot = menu->activeRow())
        start = window.window.first() + *slot + (fromNextRow ? 1 : 0);
    const auto model = menu->model().lock();
    const auto found = rowBeginningWith(typed, window.rows.size(), start,
                                        [&](std::size_t row) { return window.rows.title(model.get(), row); });
    if (!found)
        return;
    revealWindowRow(menu, *found);
    menu->highlight(menu->rows()[*found - window.window.first()].action);
}

void MenuPresenter::scrollWindow(PresentedMenu *menu, std::ptrdiff_t rows) {
    auto &window = *menu->window();
    if (window.window.scrollTo(std::ptrdiff_t(window.window.first()) + rows))
        fitWindow(menu, window.window.first(), /*fromBottom=*/false);
}

} // namespace kestrova::platform::desktop
