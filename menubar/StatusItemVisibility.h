#pragma once

#include "platform/defaults/UserDefaults.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace kestrova {

namespace platform {
class StatusItem;
}

// The application has no window, so a status item that the desktop does not show leaves the user with
// nothing at all. A moment after launch the hint looks at one status item and, when it is hidden from the
// tray, says why in an alert that offers Settings. The user can switch the hint off for good; nothing
// switches it back on.
struct StatusItemVisibility {
    // True switches the hint off.
    static constexpr auto kShouldNotShowAgainKey = "Kv_NSStatusItem_ensureVisibility_shouldNotShowAgain";
    // Trays place a new icon a little after it is made; asking at once would find every item hidden.
    static constexpr std::chrono::milliseconds kDelay{1000};

    struct Options {
        std::chrono::milliseconds delay = kDelay;
        std::shared_ptr<platform::UserDefaults> suite = platform::UserDefaults::standard();
    };

    // The hint itself, for whoever wants to await it. The item is held weakly: one that is gone by the time
    // of the check gets no hint. `extraText` is appended to the explanation after a blank line.
    static QCoro::Task<> check(std::weak_ptr<platform::StatusItem> statusItem,
                               std::optional<QString> extraText, Options options);
};

// Starts the hint for `statusItem` and returns at once; the wait never blocks the main event loop. Main
// thread only.
void ensureVisibility(const std::shared_ptr<platform::StatusItem> &statusItem,
                      std::optional<QString> extraText = std::nullopt);

} // namespace kestrova
