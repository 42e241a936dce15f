#pragma once

#include "platform/observation/Subscription.h"

#include <functional>
#include <memory>

namespace kestrova::platform {

// Whether one of our menus is open and taking the user's input ("menu tracking"). Whoever shows a menu holds
// a Tracking for as long as it is open; nesting is counted. Work that must not run in the middle of a menu
// (timers of the default mode) waits until tracking ends. Main thread only.
class MenuTracking {
public:
    using Tracking = std::shared_ptr<void>;

    // Tracking lasts until the returned value (and every copy) is gone.
    [[nodiscard]] static Tracking begin();
    static bool isTracking();
    // Told true when the first menu opens and false when the last one has closed.
    [[nodiscard]] static Subscription observe(std::function<void(bool isTracking)> handler);
};

} // namespace kestrova::platform
