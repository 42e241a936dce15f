#pragma once

#include "platform/observation/Subscription.h"

#include <QString>

#include <functional>

namespace kestrova {

// One directory watcher for every folder of the process. A watcher per folder costs the process one inotify
// instance each, and a user has only 128 of those: past them Qt falls back to polling every watched folder
// once a second from the main thread. Main thread only.
class FolderChangeWatch {
public:
    // Calls `changed` whenever the directory at `path` changes (an entry added, removed or renamed), for as
    // long as the subscription lives. Folders watched by several subscribers are watched once.
    [[nodiscard]] static platform::Subscription watch(const QString &path, std::function<void()> changed);
    // How many directories are watched now.
    static int watchedCount();
};

} // namespace kestrova
