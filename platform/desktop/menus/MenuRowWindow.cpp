#include "platform/desktop/menus/MenuRowWindow_p.h"

#include <algorithm>

namespace kestrova::platform::desktop {

namespace {

// The nearest row from `from` on in `direction` that can be highlighted, without wrapping.
std::optional<std::size_t> nearestRow(std::ptrdiff_t from, std::ptrdiff_t direction, std::size_t rowCount,
                                      const std::function<bool(std::size_t)> &canHighlight) {
    for (std::ptrdiff_t row = from; row >= 0 && row < std::ptrdiff_t(rowCount); row += direction) {
        if (canHighlight(std::size_t(row)))
            return std::size_t(row);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::size_t> rowForMovementKey(int key, std::size_t rowCount,
                                             std::optional<std::size_t> current, std::size_t pageRows,
                                             const std::function<bool(std::size_t)> &canHighlight) {
    if (rowCount == 0)
        return std::nullopt;
    const auto count = std::ptrdiff_t(rowCount);
    const auto page = std::ptrdiff_t(std::max<std::size_t>(pageRows, 1));
    switch (key) {
    case Qt::Key_Home:
        return nearestRow(0, 1, rowCount, canHighlight);
    case Qt::Key_End:
        return nearestRow(count - 1, -1, rowCount, canHighlight);
    case Qt::Key_PageDown: {
        const std::ptrdiff_t target = current ? std::min(std::ptrdiff_t(*current) + page, count - 1) : 0;
        if (const auto row = nearestRow(target, 1, rowCount, canHighlight))
            return row;
        return nearestRow(target, -1, rowCount, canHighlight);
    }
    case Qt::Key_PageUp: {
        const std::ptrdiff_t target =
            current ? std::max<std::ptrdiff_t>(std::ptrdiff_t(*current) - page, 0) : 0;
        if (const auto row = nearestRow(target, -1, rowCount, canHighlight))
            return row;
        return nearestRow(target, 1, rowCount, canHighlight);
    }
    case Qt::Key_Down:
    case Qt::Key_Up: {
        const std::ptrdiff_t step = key == Qt::Key_Down ? 1 : -1;
        std::ptrdiff_t row = current ? std::ptrdiff_t(*current) : (step > 0 ? -1 : count);
        for (std::ptrdiff_t tried = 0; tried < count; ++tried) {
            row = (row + step + count) % count;
            if (canHighlight(std::size_t(row)))
                return std::size_t(row);
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<std::size_t>
rowBeginningWith(const QString &typed, std::size_t rowCount, std::size_t start,
                 const std::function<std::optional<QString>(std::size_t)> &titleOf) {
    for (std::size_t step = 0; step < rowCount; ++step) {
        const std::size_t row = (start + step) % rowCount;
        const std::optional<QString> title = titleOf(row);
        if (title && title->startsWith(typed, Qt::CaseInsensitive))
            return row;
    }
    return std::nullopt;
}

void MenuRowWindow::reset(std::size_t rowCount, std::size_t visible) {
    m_rowCount = rowCount;
    m_visible = std::min(visible, rowCount);
    m_first = 0;
}

void MenuRowWindow::place(std::ptrdiff_t first, std::size_t visible) {
    m_visible = std::min(visible, m_rowCount);
    scrollTo(first);
}

bool MenuRowWindow::scrollTo(std::ptrdiff_t first) {
    const auto last = std::ptrdiff_t(m_rowCount - m_visible);
    const auto clamped = std::size_t(std::clamp<std::ptrdiff_t>(first, 0, last));
    if (clamped == m_first)
        return false;
    m_first = clamped;
    return true;
}

} // namespace kestrova::platform::desktop
