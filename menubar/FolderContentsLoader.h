#pragma once

#include "FolderContents.h"

#include "foundation/errors/Error.h"

#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace kestrova {

// What listing one directory gave: its entries, sorted; or the error that stopped it; or nothing in time.
struct FolderListing {
    std::vector<FolderEntry> entries;
    // Where the longest names are among the entries (see longestNames), found while listing.
    std::vector<std::size_t> longestNames;
    std::optional<Error> error;
    // The directory did not answer within the time limit (a stalled network mount, a hung disk).
    bool timedOut = false;
};

// What to list and how to sort it.
struct FolderListingRequest {
    QUrl directory;
    FolderContentsOptions options;
    bool keepFoldersOnTop = false;
};

// Lists directories off the main thread, so that a slow or stalled file system never freezes the
// application: every listing runs (and is sorted) on a thread of its own, since a call stuck in the kernel
// on a hung mount cannot be cancelled and would hold a pooled thread for good. After the time limit the
// caller is told the directory did not answer; a result that comes later is dropped. A directory whose
// listing is still running is not listed twice: a new request waits for the running one, so reopening a
// menu on a hung mount adds no thread.
//
// Results are delivered on the main thread; requests are made there too.
class FolderContentsLoader {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{3000};

    static std::chrono::milliseconds timeLimit();
    // For tests that wait for a stall on purpose.
    static void setTimeLimit(std::chrono::milliseconds limit);

    // Starts the listing; `done` runs once, on a later turn of the event loop, with the listing or with a
    // timed-out one when the limit passes first.
    static void start(const FolderListingRequest &request, std::function<void(FolderListing)> done);
    // Gives the listing at once when one for the same request has just ended and is waiting to be
    // delivered; otherwise returns nothing at once and `done` runs later, as with start(). Never waits.
    static std::optional<FolderListing> listOrNotify(const FolderListingRequest &request,
                                                     std::function<void(FolderListing)> done);

    // Listings started and not yet ended and handed over, stalled ones included.
    static int runningCount();

    // The text of a listing that did not answer in time.
    static QString timedOutReason(const QUrl &directory);
};

} // namespace kestrova
