#pragma once

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

namespace kestrova::platform {

class MenuItem;

// Rows of a long menu that are made only when a presenter asks for them (Menu::addRows): a listing of
// tens of thousands of entries opens with no row made, and a presenter makes the few it shows. Every row
// is a plain one: never a separator, an alternate or hidden. Main thread.
class MenuRowSource {
public:
    virtual ~MenuRowSource() = default;

    virtual std::size_t count() const = 0;
    // The title the row will show, without making the row (for typing a name).
    virtual QString title(std::size_t index) const = 0;
    // A new row for `index`, not in any menu yet.
    virtual std::shared_ptr<MenuItem> makeItem(std::size_t index) const = 0;
    // At most `count` rows among which the widest is, by their titles' lengths: the same rows at every
    // asking for the same contents, so a popup sized on them keeps its width.
    virtual std::vector<std::size_t> widestCandidates(std::size_t count) const = 0;
};

} // namespace kestrova::platform
