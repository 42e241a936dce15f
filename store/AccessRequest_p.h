#pragma once

// Helpers of the two folder-access requests (SandboxURLBookmark, SecurityScopedBookmarkManager).

#include "foundation/errors/Error.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

namespace kestrova::accessrequest {

// The folder asked for: `url` itself when it has a directory path, else the folder that holds it.
QUrl requestedDirectory(const QUrl &url);
// The folder's real location (symbolic links resolved) as a directory URL ending in "/", so that two ways of
// naming one folder compare equal; `url` with a trailing slash when it cannot be resolved.
QUrl canonicalDirectory(const QUrl &url);
// The item's name as the file system has it ("/" for the root); for names that are not valid UTF-8 too.
QString lastPathComponent(const QUrl &url);
// The path with the real home folder shown as "~" (whole components only).
QString homeAbbreviatedPath(const QUrl &url);
QString applicationName();

// Shows the error in an application-modal alert and waits until it is dismissed.
QCoro::Task<> presentError(Error error);

} // namespace kestrova::accessrequest
