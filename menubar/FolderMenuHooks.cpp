#include "FolderMenuHooks.h"

namespace kestrova {

namespace {

FolderMenuHooks &sharedHooks() {
    static FolderMenuHooks hooks;
    return hooks;
}

} // namespace

const FolderMenuHooks &FolderMenuHooks::shared() {
    return sharedHooks();
}

void FolderMenuHooks::setShared(FolderMenuHooks hooks) {
    sharedHooks() = std::move(hooks);
}

} // namespace kestrova
