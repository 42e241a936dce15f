#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace kestrova {

struct Folder;

// The scriptable actions' answer codes. Callers only ever get `success`; failures are errors of the call.
enum class IntentResponseCode : std::int64_t {
    unspecified = 0,
    ready = 1,
    continueInApp = 2,
    inProgress = 3,
    success = 4,
    failure = 5,
    failureRequiringAppLaunch = 6,
};
using GetFoldersIntentResponseCode = IntentResponseCode;
using SetFolderVisibilityIntentResponseCode = IntentResponseCode;
// Nothing outside 0 to 6.
std::optional<IntentResponseCode> intentResponseCode(std::int64_t rawValue);

// One stored folder as the scriptable actions hand it out.
struct Folder_ {
    // The folder's id, upper case with hyphens.
    QString identifier;
    // Folder::title().
    QString displayString;
    // The resolved folder's path, the home folder shown as "~" (whole path components only); nothing when
    // the folder does not resolve.
    std::optional<QString> subtitleString;
    // The folder's symbol, 60 pt, in the system blue, as PNG; nothing for a symbol that cannot be drawn.
    std::optional<QByteArray> displayImage;
    bool isVisible = true;
    // The resolved folder's full path; nothing when it does not resolve.
    std::optional<QString> path;

    static Folder_ from(const Folder &folder);
};

std::vector<Folder_> convertedFolders(const std::vector<Folder> &folders);

struct GetFoldersIntentResponse {
    GetFoldersIntentResponseCode code = GetFoldersIntentResponseCode::unspecified;
    std::vector<Folder_> result;
};

// What a caller asked for; every member may be absent. `folder` holds identifiers as the caller gave them.
struct SetFolderVisibilityIntent {
    std::optional<std::vector<QString>> folder;
    std::optional<bool> isVisible;
    std::optional<bool> hideOtherFolders;
    std::optional<bool> showOtherFolders;
};

struct SetFolderVisibilityIntentResponse {
    SetFolderVisibilityIntentResponseCode code = SetFolderVisibilityIntentResponseCode::unspecified;
};

} // namespace kestrova
