#include "BundleIdentifier.h"

#include <mutex>

namespace kestrova {

namespace {

std::mutex &overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

ApplicationURLOverride &storedOverride() {
    static ApplicationURLOverride lookup;
    return lookup;
}

} // namespace

void setApplicationURLOverride(ApplicationURLOverride lookup) {
    const std::lock_guard lock(overrideMutex());
    storedOverride() = std::move(lookup);
}

ApplicationURLOverride applicationURLOverride() {
    const std::lock_guard lock(overrideMutex());
    return storedOverride();
}

} // namespace kestrova
