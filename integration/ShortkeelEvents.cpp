#include "ShortkeelEvents.h"

#include "foundation/concurrency/AsyncSequence.h"

#include <QCoreApplication>

#include <memory>
#include <optional>

namespace kestrova::Shortkeel {

namespace {

void onMainQueue(std::function<void()> work) {
    if (auto *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

AsyncStream<EventType> eventStream(const Name &name, std::optional<EventType> only) {
    const SubscribeFunction<EventType> subscribe =
        [name, only](std::function<void(const EventType &)> receive, std::function<void()>) {
            auto listening = std::make_shared<platform::Subscription>();
            // Both posted to the main queue, so a stream that ends at once still stops after it started.
            onMainQueue([listening, name, only, receive = std::move(receive)] {
                *listening = onEvents(name, [only, receive](EventType type) {
                    if (!only || *only == type)
                        receive(type);
                });
            });
            return std::function<void()>([listening] { onMainQueue([listening] { listening->cancel(); }); });
        };
    return asyncStream(subscribe);
}

struct AwaitRun {
    AsyncStream<EventType>::Iterator iterator;
    std::function<void()> action;
    CancellationToken token;
    CancellationToken::CallbackId onCancel = 0;
    // Owns the run while its coroutine runs.
    std::shared_ptr<AwaitRun> keepAlive;
};

QCoro::Task<> runAwait(AwaitRun *run) {
    const std::shared_ptr<AwaitRun> keepAlive = std::move(run->keepAlive);
    for (;;) {
        auto next = run->iterator.next();
        const std::optional<EventType> event = co_await next;
        if (!event)
            break;
        run->action();
    }
    run->token.removeOnCancel(run->onCancel);
}

} // namespace

AsyncStream<EventType> events(const Name &name) {
    return eventStream(name, std::nullopt);
}

AsyncStream<EventType> events(EventType type, const Name &name) {
    return eventStream(name, type);
}

QCoro::Task<> awaitEvents(EventType type, const Name &name, std::function<void()> action,
                          const CancellationToken &token) {
    auto run = std::make_shared<AwaitRun>(
        AwaitRun{events(type, name).makeAsyncIterator(), std::move(action), token, 0, nullptr});
    run->keepAlive = run;
    run->onCancel = token.onCancel([weak = std::weak_ptr(run)] {
        if (const auto run = weak.lock())
            run->iterator.cancel();
    });
    return runAwait(run.get());
}

} // namespace kestrova::Shortkeel
