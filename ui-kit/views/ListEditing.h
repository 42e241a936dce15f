#pragma once

#include "platform/observation/Binding.h"

#include <QRegion>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

class QAbstractItemView;
class QWidget;

// Rows of a list that edit a bound collection when the user moves, deletes or drops them. Each edit is one
// read of the collection, one change of the copy and one write, so observers see one change per action.
namespace kestrova {

// The rows at `offsets` moved, in their order, to before the row that was at `toOffset` (the end when it
// is the count). Offsets outside the collection are ignored.
template <typename Element>
void moveElements(const platform::Binding<std::vector<Element>> &binding, const std::set<int> &offsets,
                  int toOffset) {
    std::vector<Element> elements = binding.get();
    std::vector<Element> moved;
    std::vector<Element> kept;
    int destination = std::clamp(toOffset, 0, int(elements.size()));
    for (int index = 0; index < int(elements.size()); ++index) {
        if (offsets.contains(index)) {
            moved.push_back(std::move(elements[std::size_t(index)]));
            if (index < toOffset)
                --destination;
        } else {
            kept.push_back(std::move(elements[std::size_t(index)]));
        }
    }
    kept.insert(kept.begin() + std::clamp(destination, 0, int(kept.size())), moved.begin(), moved.end());
    binding.set(kept);
}

template <typename Element>
void removeElements(const platform::Binding<std::vector<Element>> &binding, const std::set<int> &offsets) {
    std::vector<Element> elements = binding.get();
    std::vector<Element> kept;
    for (int index = 0; index < int(elements.size()); ++index) {
        if (!offsets.contains(index))
            kept.push_back(std::move(elements[std::size_t(index)]));
    }
    binding.set(kept);
}

// Inserts `dropped` (the dropped items turned into elements) before the row at `offset`, clamped into the
// collection; nothing dropped changes nothing.
template <typename Element>
void insertElements(const platform::Binding<std::vector<Element>> &binding, int offset,
                    const std::vector<Element> &dropped) {
    if (dropped.empty())
        return;
    std::vector<Element> elements = binding.get();
    elements.insert(elements.begin() + std::clamp(offset, 0, int(elements.size())), dropped.begin(),
                    dropped.end());
    binding.set(elements);
}

// What the user does to the rows of `view`, as offsets of its model's rows: `move` after a drag that
// reorders rows (the view reorders by dragging), `remove` for Delete or Backspace on the selected rows.
// The owner writes the collection (moveElements, removeElements) and shows it again.
struct ListEditingActions {
    std::function<void(const std::set<int> &offsets, int toOffset)> move = {};
    std::function<void(const std::set<int> &offsets)> remove = {};
};
void onMoveAndDelete(QAbstractItemView *view, ListEditingActions actions);

// Cuts `mask` out of the view (in the view's coordinates): the view shows everywhere except there. An
// empty mask leaves the whole view showing.
void reverseMask(QWidget *view, const QRegion &mask);

} // namespace kestrova
