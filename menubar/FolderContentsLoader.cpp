#include "FolderContentsLoader.h"

#include <QCoreApplication>
#include <QHash>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrova {

namespace {

std::chrono::milliseconds s_timeLimit = FolderContentsLoader::kDefaultTimeLimit;
std::atomic<int> s_runningCount{0};

struct Waiter {
    std::function<void(FolderListing)> done;
    // Stopped once the listing is delivered, so an idle application has no timer left to wake it.
    std::unique_ptr<QTimer> limit;
    bool isDelivered = false;

    void deliver(FolderListing listing) {
        if (isDelivered) {
            releaseListingElsewhere(std::move(listing.entries));
            return;
        }
        isDelivered = true;
        limit->stop();
        // Moved out first: what it captured goes with the call, and a second delivery finds nothing.
        const auto call = std::move(done);
        call(std::move(listing));
    }
};

// One listing on its thread. The worker writes the result under the mutex; everything else is main-thread
// only.
struct Job {
    std::mutex mutex;
    bool isFinished = false;
    FolderListing result;

    QByteArray key;
    bool isCollected = false;
    std::vector<std::shared_ptr<Waiter>> waiters;
};

// Where workers post their results: the application, until it is being destroyed. A worker on a hung mount
// may end only then, or never.
std::mutex s_receiverMutex;
QCoreApplication *s_receiver = nullptr;

void postToMainThread(std::function<void()> call) {
    const std::lock_guard lock(s_receiverMutex);
    if (s_receiver)
        QMetaObject::invokeMethod(s_receiver, std::move(call), Qt::QueuedConnection);
}

void registerReceiver() {
    const std::lock_guard lock(s_receiverMutex);
    if (s_receiver)
        return;
    s_receiver = QCoreApplication::instance();
    qAddPostRoutine([] {
        const std::lock_guard lock(s_receiverMutex);
        s_receiver = nullptr;
    });
}

QHash<QByteArray, std::shared_ptr<Job>> &runningJobs() {
    static QHash<QByteArray, std::shared_ptr<Job>> jobs;
    return jobs;
}

QByteArray keyOf(const FolderListingRequest &request) {
    return request.directory.toEncoded() + '\n' + QByteArray::number(int(request.options.sortOrder)) +
           (request.options.showHiddenItems ? "h" : "-") + (request.keepFoldersOnTop ? "t" : "-");
}

FolderListing listNow(const FolderListingRequest &request) {
    FolderListing listing;
    try {
        listing.entries = folderContents(request.directory, request.options);
        sortFolderEntries(listing.entries, request.options.sortOrder, request.keepFoldersOnTop);
        listing.longestNames = longestNames(listing.entries, kLongestNamesListed);
    } catch (const Error &error) {
        listing.error = error;
    } catch (const std::exception &) {
        // Out of memory on a huge folder, say: the menu explains instead of the worker ending the process.
        listing.entries.clear();
        listing.error = posixError(
            ENOMEM,
            QStringLiteral("Cannot list “%1”").arg(request.directory.toDisplayString(QUrl::PreferLocalFile)));
    }
    return listing;
}

// Hands the finished result to every waiter still waiting: moved to the last, copied to the others. With
// `copiesAside`, the copies are made off the main thread and every waiter has its listing on a later turn.
void collect(const std::shared_ptr<Job> &job, bool copiesAside) {
    if (job->isCollected)
        return;
    job->isCollected = true;
    // Counted until here rather than until its thread ends: till now a new request for the same folder
    // joins this job, and a caller that saw no listing running must not see one joined.
    --s_runningCount;
    auto &jobs = runningJobs();
    if (jobs.value(job->key) == job)
        jobs.remove(job->key);
    std::vector<std::shared_ptr<Waiter>> waiting;
    for (const auto &waiter : job->waiters)
        if (!waiter->isDelivered)
            waiting.push_back(waiter);
    job->waiters.clear();
    FolderListing result;
    {
        const std::lock_guard lock(job->mutex);
        result = std::move(job->result);
    }
    // Every waiter gave up on it (a folder that answered after the time limit).
    if (waiting.empty()) {
        releaseListingElsewhere(std::move(result.entries));
        return;
    }
    if (!copiesAside || waiting.size() <= 1) {
        for (std::size_t index = 0; index < waiting.size(); ++index) {
            if (index + 1 == waiting.size())
                waiting[index]->deliver(std::move(result));
            else
                waiting[index]->deliver(result);
        }
        return;
    }
    // Copied off the main thread for all but the last: a long folder's entries take tens of milliseconds.
    // Every waiter has its listing then, none gives up on it meanwhile.
    for (const auto &waiter : waiting)
        waiter->limit->stop();
    auto listing = std::make_shared<FolderListing>(std::move(result));
    QThreadPool::globalInstance()->start([listing, waiting = std::move(waiting)] {
        auto copies = std::make_shared<std::vector<FolderListing>>(waiting.size() - 1, *listing);
        postToMainThread([listing, copies, waiting] {
            for (std::size_t index = 0; index < copies->size(); ++index)
                waiting[index]->deliver(std::move((*copies)[index]));
            waiting.back()->deliver(std::move(*listing));
        });
    });
}

std::shared_ptr<Job> startJob(const FolderListingRequest &request) {
    const QByteArray key = keyOf(request);
    auto &jobs = runningJobs();
    if (const auto running = jobs.value(key))
        return running;
    auto job = std::make_shared<Job>();
    job->key = key;
    jobs.insert(key, job);
    ++s_runningCount;
    registerReceiver();
    std::thread([job, request] {
        FolderListing listing = listNow(request);
        {
            const std::lock_guard lock(job->mutex);
            job->result = std::move(listing);
            job->isFinished = true;
        }
        postToMainThread([job] { collect(job, /*copiesAside=*/true); });
    }).detach();
    return job;
}

std::shared_ptr<Waiter> addWaiter(const std::shared_ptr<Job> &job, const QUrl &directory,
                                  std::function<void(FolderListing)> done) {
    auto waiter = std::make_shared<Waiter>(Waiter{std::move(done), std::make_unique<QTimer>()});
    job->waiters.push_back(waiter);
    waiter->limit->setSingleShot(true);
    // The job holds the waiter until its listing ends, which a stalled one never does.
    QObject::connect(waiter->limit.get(), &QTimer::timeout, waiter->limit.get(),
                     [weak = std::weak_ptr(waiter), directory] {
                         const auto waiter = weak.lock();
                         if (!waiter)
                             return;
                         FolderListing listing;
                         listing.timedOut = true;
                         listing.error = Error(ErrorDomain::posix, ETIMEDOUT,
                                               {{ErrorKey::localizedDescription,
                                                 FolderContentsLoader::timedOutReason(directory)}});
                         waiter->deliver(std::move(listing));
                     });
    waiter->limit->start(s_timeLimit);
    return waiter;
}

// Never waited for on the main thread: a wait there is a frame the application does not draw, and a large
// folder takes longer to list than a frame lasts. A menu whose listing has not ended is shown without its
// rows and takes them when they come (Menu::isAwaitingContents).
bool hasFinished(Job &job) {
    const std::lock_guard lock(job.mutex);
    return job.isFinished;
}

} // namespace

std::chrono::milliseconds FolderContentsLoader::timeLimit() {
    return s_timeLimit;
}

void FolderContentsLoader::setTimeLimit(std::chrono::milliseconds limit) {
    s_timeLimit = limit;
}

int FolderContentsLoader::runningCount() {
    return s_runningCount.load();
}

QString FolderContentsLoader::timedOutReason(const QUrl &directory) {
    const qint64 seconds = std::max<qint64>(1, (s_timeLimit.count() + 999) / 1000);
    return QStringLiteral("“%1” did not answer within %2 %3. A network server or disk may be slow or "
                          "disconnected; try again later.")
        .arg(directory.toDisplayString(QUrl::PreferLocalFile | QUrl::StripTrailingSlash))
        .arg(seconds)
        .arg(seconds == 1 ? QStringLiteral("second") : QStringLiteral("seconds"));
}

void FolderContentsLoader::start(const FolderListingRequest &request,
                                 std::function<void(FolderListing)> done) {
    const auto job = startJob(request);
    addWaiter(job, request.directory, std::move(done));
}

std::optional<FolderListing> FolderContentsLoader::listOrNotify(const FolderListingRequest &request,
                                                                std::function<void(FolderListing)> done) {
    const auto job = startJob(request);
    auto quick = std::make_shared<std::optional<FolderListing>>();
    auto isReturning = std::make_shared<bool>(true);
    addWaiter(job, request.directory, [quick, isReturning, done = std::move(done)](FolderListing listing) {
        if (*isReturning)
            *quick = std::move(listing);
        else
            done(std::move(listing));
    });
    // The caller has its listing on return, the others with it.
    if (hasFinished(*job))
        collect(job, /*copiesAside=*/false);
    *isReturning = false;
    return std::move(*quick);
}

} // namespace kestrova
