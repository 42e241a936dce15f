#include "MenuTracking.h"

namespace kestrova::platform {

namespace {

int depth = 0;

ObserverList<bool> &observers() {
    static ObserverList<bool> list;
    return list;
}

} // namespace

MenuTracking::Tracking MenuTracking::begin() {
    if (depth++ == 0)
        observers().notify(true);
    return Tracking(static_cast<void *>(nullptr), [](void *) {
        if (--depth == 0)
            observers().notify(false);
    });
}

bool MenuTracking::isTracking() {
    return depth > 0;
}

Subscription MenuTracking::observe(std::function<void(bool isTracking)> handler) {
    return observers().subscribe(std::move(handler));
}

} // namespace kestrova::platform
