#include "KeyboardState.h"

#include "platform/SharedService_p.h"

#include <mutex>

namespace kestrova::platform {
namespace {

class NoKeysHeld final : public KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override { return 0; }
};

SharedService<KeyboardState, NoKeysHeld> &sharedState() {
    static SharedService<KeyboardState, NoKeysHeld> shared;
    return shared;
}

} // namespace

KeyboardState &KeyboardState::shared() {
    return sharedState().get();
}

std::shared_ptr<KeyboardState> KeyboardState::sharedPointer() {
    return sharedState().pointer();
}

void KeyboardState::setShared(std::shared_ptr<KeyboardState> state) {
    sharedState().set(std::move(state));
}

} // namespace kestrova::platform
