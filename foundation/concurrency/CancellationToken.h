#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace kestrova {

// A flag that stops asynchronous work which checks it. Copies share one state, so a token handed to
// several operations stops them all; it is set once and never cleared. Any thread may cancel or check it.
class CancellationToken {
public:
    using CallbackId = std::uint64_t;

    // Sets the flag and runs the registered callbacks on the calling thread, each once.
    void cancel() const;
    bool isCancelled() const;
    // Throws `CancellationError` once cancelled.
    void checkCancellation() const;

    // Runs `callback` at cancellation, or at once (and answers 0) when the token is cancelled already.
    CallbackId onCancel(std::function<void()> callback) const;
    // Forgets a callback that has not run yet; work that ended without being cancelled calls it, so that a
    // long-lived token does not collect callbacks.
    void removeOnCancel(CallbackId id) const;

private:
    struct State {
        std::mutex mutex;
        bool cancelled = false;
        CallbackId nextId = 1;
        std::map<CallbackId, std::function<void()>> callbacks;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace kestrova
