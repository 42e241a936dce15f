#pragma once

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>

namespace kestrova::platform::desktop {

// Where keyboard movement lands among a menu's rows, whether the menu holds an action per row or only a
// window of them: Up and Down step to the next row that can be highlighted and wrap round as menus do;
// Page Up and Page Down move by `pageRows` and stop at the ends; Home and End go to the first and last
// row. `current` is the highlighted row, if any. Null when the key moves nothing.
std::optional<std::size_t> rowForMovementKey(int key, std::size_t rowCount,
                                             std::optional<std::size_t> current, std::size_t pageRows,
                                             const std::function<bool(std::size_t)> &canHighlight);

// The first row from `start` on, round to the row before it, whose title begins with `typed` (case
// ignored). One look at each row at most.
std::optional<std::size_t>
rowBeginningWith(const QString &typed, std::size_t rowCount, std::size_t start,
                 const std::function<std::optional<QString>(std::size_t)> &titleOf);

// Which rows of a long menu are on screen: `visible` consecutive rows of `rowCount`, from first().
class MenuRowWindow {
public:
    void reset(std::size_t rowCount, std::size_t visible);
    std::size_t first() const { return m_first; }
    std::size_t visible() const { return m_visible; }
    std::size_t rowCount() const { return m_rowCount; }
    bool contains(std::size_t row) const { return row >= m_first && row < m_first + m_visible; }
    // Shows `visible` rows from `first`, both kept inside the rows.
    void place(std::ptrdiff_t first, std::size_t visible);
    // Moves the window to start at `first`, kept inside the rows; true when it moved.
    bool scrollTo(std::ptrdiff_t first);

private:
    std::size_t m_rowCount = 0;
    std::size_t m_visible = 0;
    std::size_t m_first = 0;
};

} // namespace kestrova::platform::desktop
