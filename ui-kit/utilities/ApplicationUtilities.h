#pragma once

#include <QSize>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace kestrova {

struct DirectoryListingOptions {
    // Leaves out names that start with ".".
    bool skipsHiddenFiles = false;
};

// The entries of a folder, one level deep, in the order the file system gives them ("." and ".." left
// out); names that are not valid UTF-8 are kept as bytes in the URLs. Throws the error of a folder that
// cannot be read.
//
// On the other desktop the machine's applications folder also lists the system's own applications from a
// second folder; that folder does not exist here, so no listing is merged into another.
std::vector<QUrl> contentsOfDirectoryMergingSystemApplications(const QUrl &directory,
                                                               DirectoryListingOptions options = {});

// Opens the file with its default application. (No library here needs a permission before it is opened,
// so no permission is asked for.)
void openRequestingPhotosAccess(const QUrl &url);

// How long the pixel size of a file may take before it counts as unknown.
inline constexpr std::chrono::milliseconds kMediaDimensionsTimeLimit{2000};

using MediaDimensionsLookUp = std::function<std::optional<QSize>(const QUrl &)>;

// The pixel size of an image file or the displayed size of a movie, read off the calling thread (a file on a
// stalled mount must not freeze the menus) and given up after `timeLimit`; nothing for other files,
// unreadable ones and FIFOs or devices, which are never opened. `lookUp` replaces the reading for tests.
std::optional<QSize> mediaDimensions(const QUrl &url,
                                     std::chrono::milliseconds timeLimit = kMediaDimensionsTimeLimit,
                                     const MediaDimensionsLookUp &lookUp = {});

// Width divided by height of the file's pixel size; nothing when the size is unknown or has no area.
std::optional<double> imageAspectRatio(const QUrl &url);

// The "Utilities" folders inside the machine's applications folder and the system's applications folder.
QUrl applicationsUtilitiesDirectory();
QUrl systemApplicationsUtilitiesDirectory();

// A copy of `folders` in the same order: the folders whose `id` is in `ids` get `isVisible` = `isVisible`;
// every other folder is hidden when showing with `hideOtherFolders`, shown when hiding with
// `showOtherFolders`, and otherwise left as it is. An empty `ids` makes every folder one of the others.
template <typename FolderList, typename IdList>
FolderList settingVisibility(FolderList folders, bool isVisible, const IdList &ids, bool showOtherFolders,
                             bool hideOtherFolders) {
    for (auto &folder : folders) {
        if (std::find(std::begin(ids), std::end(ids), folder.id) != std::end(ids))
            folder.isVisible = isVisible;
        else if (isVisible && hideOtherFolders)
            folder.isVisible = false;
        else if (!isVisible && showOtherFolders)
            folder.isVisible = true;
    }
    return folders;
}

} // namespace kestrova
