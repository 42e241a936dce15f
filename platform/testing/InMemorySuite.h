#pragma once

#include "platform/defaults/UserDefaults.h"

#include <memory>

namespace kestrova::testing {

// A settings suite of a test's own, kept in memory only.
inline std::shared_ptr<platform::UserDefaults> makeInMemorySuite() {
    return std::make_shared<platform::UserDefaults>(QString{});
}

} // namespace kestrova::testing
