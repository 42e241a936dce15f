#pragma once

#include "platform/input/KeyboardState.h"

#include <memory>

namespace kestrova::testing {

// A keyboard whose held modifiers a test sets.
class FakeKeyboardState : public platform::KeyboardState {
public:
    quint64 modifiersHeldAtLaunch() const override { return m_flags; }
    void hold(quint64 flags) { m_flags = flags; }

private:
    quint64 m_flags = 0;
};

// Installs a fake keyboard for as long as it lives.
class ScopedFakeKeyboardState {
public:
    ScopedFakeKeyboardState() { platform::KeyboardState::setShared(m_state); }
    ~ScopedFakeKeyboardState() { platform::KeyboardState::setShared(nullptr); }
    ScopedFakeKeyboardState(const ScopedFakeKeyboardState &) = delete;
    ScopedFakeKeyboardState &operator=(const ScopedFakeKeyboardState &) = delete;

    FakeKeyboardState &keyboard() { return *m_state; }
    std::shared_ptr<FakeKeyboardState> shared() const { return m_state; }

private:
    std::shared_ptr<FakeKeyboardState> m_state = std::make_shared<FakeKeyboardState>();
};

} // namespace kestrova::testing
