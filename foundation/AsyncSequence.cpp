#include "AsyncSequence.h"

namespace kestrova {

namespace {

// Resumes the sleeper once, at the timer or at cancellation, whichever comes first.
struct Sleep {
    std::mutex mutex;
    std::coroutine_handle<> waiter;
    bool ended = false;
    std::optional<ResumeContext> context;
    std::shared_ptr<QTimer> timer;

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
};

struct WaitForSleep {
    std::shared_ptr<Sleep> sleep;
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

} // namespace

QCoro::Task<> sleepFor(std::chrono::nanoseconds duration, CancellationToken token) {
    token.checkCancellation();
    auto sleep = std::make_shared<Sleep>();
    sleep->context.emplace();
    sleep->timer = std::make_shared<QTimer>();
    sleep->timer->setSingleShot(true);
    sleep->timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(sleep->timer.get(), &QTimer::timeout, sleep->timer.get(),
                     [weak = std::weak_ptr<Sleep>(sleep)] {
                         if (auto alive = weak.lock())
                             alive->end();
                     });
    sleep->timer->start(std::chrono::ceil<std::chrono::milliseconds>(duration));
    token.onCancel([weak = std::weak_ptr<Sleep>(sleep)] {
        if (auto alive = weak.lock())
            alive->end();
    });
    co_await WaitForSleep{sleep};
    sleep->timer->stop();
    token.checkCancellation();
}

} // namespace kestrova
