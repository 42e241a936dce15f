#include "TaskSleep.h"

#include "foundation/errors/Error.h"
#include "ResumeContext.h"

#include <QTimer>

#include <algorithm>
#include <coroutine>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace kestrova {
namespace {

// One sleep. It ends once, at the timer or at cancellation, whichever comes first; the sleeper resumes from
// its own event loop.
struct Sleep {
    explicit Sleep(const CancellationToken &cancellation)
        : token(cancellation) {}

    // Any thread.
    void end() {
        std::coroutine_handle<> handle;
        {
            std::lock_guard lock(mutex);
            if (ended)
                return;
            ended = true;
            handle = std::exchange(waiter, nullptr);
        }
        if (handle)
            context->resume(handle);
    }

    CancellationToken token;
    std::mutex mutex;
    bool ended = false;
    std::coroutine_handle<> waiter;
    std::optional<ResumeContext> context;
    // Freed by the sleeper on its own thread once the sleep ended, never by a cancelling thread that may hold
    // the sleep last.
    std::unique_ptr<QTimer> timer;
    std::shared_ptr<Sleep> keepAlive;
};

struct WaitForSleep {
    Sleep *sleep;
    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<> handle) {
        std::lock_guard lock(sleep->mutex);
        if (sleep->ended)
            return false;
        sleep->waiter = handle;
        return true;
    }
    void await_resume() const noexcept {}
};

QCoro::Task<> runSleep(Sleep *sleep) {
    const std::shared_ptr<Sleep> keepAlive = std::move(sleep->keepAlive);
    const CancellationToken::CallbackId cancelCallback =
        sleep->token.onCancel([weakSleep = std::weak_ptr<Sleep>(keepAlive)] {
            if (const auto alive = weakSleep.lock())
                alive->end();
        });
    WaitForSleep wait{sleep};
    co_await wait;
    sleep->timer.reset();
    sleep->token.removeOnCancel(cancelCallback);
    sleep->token.checkCancellation();
}

} // namespace

QCoro::Task<> sleepFor(std::chrono::nanoseconds duration, const CancellationToken &token) {
    auto sleep = std::make_shared<Sleep>(token);
    sleep->context.emplace();
    sleep->timer = std::make_unique<QTimer>();
    sleep->timer->setSingleShot(true);
    sleep->timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(sleep->timer.get(), &QTimer::timeout, sleep->timer.get(),
                     [weakSleep = std::weak_ptr<Sleep>(sleep)] {
                         if (const auto alive = weakSleep.lock())
                             alive->end();
                     });
    // A duration past what the timer takes is as good as forever.
    const auto milliseconds =
        std::chrono::ceil<std::chrono::milliseconds>(std::max(duration, std::chrono::nanoseconds::zero()));
    sleep->timer->start(std::min(milliseconds, std::chrono::milliseconds(std::numeric_limits<int>::max())));
    sleep->keepAlive = sleep;
    return runSleep(sleep.get());
}

} // namespace kestrova
