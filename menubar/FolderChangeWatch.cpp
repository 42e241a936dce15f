#include "FolderChangeWatch.h"

#include <QCoreApplication>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>

#include <map>
#include <vector>

namespace kestrova {

namespace {

struct Watch {
    // Gone with the application; made again for the next one (tests make several).
    QPointer<QFileSystemWatcher> watcher;
    QHash<QString, std::map<quint64, std::function<void()>>> subscribers;
    quint64 nextId = 0;
};

Watch &shared() {
    static Watch watch;
    return watch;
}

QFileSystemWatcher &watcher() {
    Watch &watch = shared();
    if (!watch.watcher) {
        watch.subscribers.clear();
        watch.watcher = new QFileSystemWatcher(QCoreApplication::instance());
        // Closed at once when the application quits, not folder by folder as each item goes.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, watch.watcher,
                         [] { delete shared().watcher.data(); });
        QObject::connect(watch.watcher, &QFileSystemWatcher::directoryChanged, watch.watcher,
                         [](const QString &path) {
                             // By id, looked up again before each call: a call may drop other subscribers.
                             std::vector<quint64> ids;
                             for (const auto &entry : shared().subscribers.value(path))
                                 ids.push_back(entry.first);
                             for (const quint64 id : ids) {
                                 const auto found = shared().subscribers.find(path);
                                 if (found == shared().subscribers.end())
                                     return;
                                 const auto subscriber = found->find(id);
                                 if (subscriber == found->end())
                                     continue;
                                 const auto call = subscriber->second;
                                 call();
                             }
                         });
    }
    return *watch.watcher;
}

} // namespace

platform::Subscription FolderChangeWatch::watch(const QString &path, std::function<void()> changed) {
    if (path.isEmpty())
        return {};
    QFileSystemWatcher &directories = watcher();
    Watch &watch = shared();
    auto &subscribers = watch.subscribers[path];
    if (subscribers.empty())
        directories.addPath(path);
    const quint64 id = watch.nextId++;
    subscribers.emplace(id, std::move(changed));
    return platform::Subscription([path, id, owner = QPointer<QFileSystemWatcher>(&directories)] {
        Watch &watch = shared();
        if (!owner || owner != watch.watcher)
            return;
        const auto found = watch.subscribers.find(path);
        if (found == watch.subscribers.end())
            return;
        found->erase(id);
        if (!found->empty())
            return;
        watch.subscribers.erase(found);
        owner->removePath(path);
    });
}

int FolderChangeWatch::watchedCount() {
    const Watch &watch = shared();
    return watch.watcher ? int(watch.watcher->directories().size()) : 0;
}

} // namespace kestrova
