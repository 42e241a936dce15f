#include "ScreenHooks.h"

#include <QObject>

namespace kestrova {

namespace {

ScreenHooks &sharedHooks() {
    static ScreenHooks hooks;
    return hooks;
}

} // namespace

const ScreenHooks &ScreenHooks::shared() {
    return sharedHooks();
}

void ScreenHooks::setShared(ScreenHooks hooks) {
    sharedHooks() = std::move(hooks);
}

} // namespace kestrova
