#pragma once

#include "store/BookmarkData.h"
#include "store/Folder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

namespace kestrova::testing {

// A folder `name` made inside `root`, with a bookmark that resolves to it.
inline Folder makeStoredFolder(const QTemporaryDir &root, const QString &name, bool isVisible) {
    const QString path = root.filePath(name);
    QDir().mkpath(path);
    Folder folder(QUuid::createUuid(), SandboxURLBookmark(BookmarkData::create(QUrl::fromLocalFile(path))));
    folder.isVisible = isVisible;
    return folder;
}

} // namespace kestrova::testing
