#pragma once

#include "platform/testing/EventLoop.h"
#include "ui-kit/windows/WindowHelpers.h"

#include <QCoro/QCoroTask>

#include <optional>

namespace kestrova::testing {

// Runs the event loop until `task` has finished (five seconds at most) and gives its result; none when it
// did not finish.
template <typename T> std::optional<T> resultOf(QCoro::Task<T> &&task) {
    std::optional<T> result;
    auto continuation = task.then([&](T value) { result = std::move(value); });
    processEventsUntil([&] { return result.has_value(); });
    return result;
}

// Window animations that end at once, with motion on, for as long as it lives.
class QuickWindowAnimations {
public:
    QuickWindowAnimations() {
        setWindowAnimationTimeScale(0.01);
        setReduceMotionOverride(false);
    }
    ~QuickWindowAnimations() {
        setWindowAnimationTimeScale(1);
        setReduceMotionOverride(std::nullopt);
    }
    QuickWindowAnimations(const QuickWindowAnimations &) = delete;
    QuickWindowAnimations &operator=(const QuickWindowAnimations &) = delete;
};

} // namespace kestrova::testing
