#include "KeyboardState.h"

#include <mutex>

namespace kestrova::platform {
namespace {

class NoKeysHeld final : public KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override { return 0; }
};

struct SharedState {
    std::mutex mutex;
    std::shared_ptr<KeyboardState> state = std::make_shared<NoKeysHeld>();
};

SharedState &sharedState() {
    static SharedState shared;
    return shared;
}

} // namespace

KeyboardState &KeyboardState::shared() {
    auto &shared = sharedState();
    std::lock_guard lock(shared.mutex);
    return *shared.state;
}

void KeyboardState::setShared(std::shared_ptr<KeyboardState> state) {
    auto &shared = sharedState();
    std::lock_guard lock(shared.mutex);
    shared.state = state ? std::move(state) : std::make_shared<NoKeysHeld>();
}

} // namespace kestrova::platform
