#include "foundation/observation/ObservableObjects.h"

#include "platform/testing/EventLoop.h"

#include <QDir>
#include <QFile>
#include <QPropertyAnimation>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrova;
using kestrova::testing::processEventsUntil;

namespace {

// How often `object` said it was about to change.
struct ChangeCount {
    explicit ChangeCount(ObservableObject *object) {
        QObject::connect(object, &ObservableObject::objectWillChange, [this] { ++count; });
    }
    int count = 0;
};

// An event source a test fires by hand, as a notification centre would.
struct ManualSource {
    std::vector<std::shared_ptr<std::function<void()>>> subscribers;

    EventSource source() {
        return [this](std::function<void()> onEvent) {
            auto subscriber = std::make_shared<std::function<void()>>(std::move(onEvent));
            subscribers.push_back(subscriber);
            return EventSourceCancel([this, subscriber] { std::erase(subscribers, subscriber); });
        };
    }
    void fire() const {
        for (const auto &subscriber : std::vector(subscribers))
            (*subscriber)();
    }
};

} // namespace

TEST(ObservableObjectsTest, AListenOnlyObservableSaysEachEventUntilItIsGone) {
    ManualSource source;
    auto observable = std::make_unique<ListenOnlyPublisherObservable>(source.source());
    ChangeCount changes(observable.get());
    source.fire();
    source.fire();
    ASSERT_TRUE(processEventsUntil([&] { return changes.count == 2; }));

    // An event on its way when the object goes reaches nothing, and later events find no subscriber.
    source.fire();
    observable.reset();
    EXPECT_TRUE(source.subscribers.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(changes.count, 2);
}

TEST(ObservableObjectsTest, ValuesSayTheyWillChangeBeforeTheyDo) {
    ObservableValue<int> value(1);
    std::vector<int> seen;
    QObject::connect(&value, &ObservableObject::objectWillChange,
                     [&] { seen.push_back(value.wrappedValue()); });
    value.setWrappedValue(2);
    EXPECT_EQ(seen, std::vector<int>{1});
    EXPECT_EQ(value.wrappedValue(), 2);

    ManualSource source;
    int backing = 5;
    {
        KVOObservable<int> observed([&] { return backing; }, source.source());
        backing = 6;
        source.fire();
        EXPECT_EQ(observed.value(), 6);
    }
    EXPECT_TRUE(source.subscribers.empty());

    ViewTimer timer(0.01);
    ChangeCount ticks(&timer);
    ASSERT_TRUE(processEventsUntil([&] { return ticks.count >= 2; }));
    EXPECT_EQ(timer.value(), ticks.count % 2 == 0);
}

TEST(ObservableObjectsTest, AnimationCallbacksRunAtStartAndStop) {
    QObject target;
    target.setProperty("level", 0.0);
    auto *animation = new QPropertyAnimation(&target, "level", &target);
    animation->setDuration(10);
    animation->setEndValue(1.0);
    KvCAAnimationDelegate delegate;
    std::vector<QString> calls;
    delegate.observe(animation);
    animation->start();
    // No handlers yet: the start does nothing.
    delegate.didStartHandler = [&] { calls.push_back(QStringLiteral("start")); };
    delegate.didStopHandler = [&](bool finished) { calls.push_back(finished ? "finished" : "stopped"); };
    ASSERT_TRUE(processEventsUntil([&] { return !calls.empty(); }));
    animation->start();
    animation->stop();
    EXPECT_EQ(calls, (std::vector<QString>{"finished", "start", "stopped"}));
}

TEST(ObservableObjectsTest, PowerSourceComesFromThePowerSuppliesListed) {
    QTemporaryDir supplies;
    const auto write = [&](const QString &supply, const QString &file, const QByteArray &text) {
        QDir(supplies.path()).mkpath(supply);
        QFile out(supplies.path() + QLatin1Char('/') + supply + QLatin1Char('/') + file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
    };
    PowerSourceWatcher watcher(supplies.path());
    EXPECT_EQ(watcher.powerSource(), PowerSourceWatcher::PowerSource::externalUnlimited);
    write(QStringLiteral("BAT0"), QStringLiteral("type"), "Battery\n");
    write(QStringLiteral("AC"), QStringLiteral("type"), "Mains\n");
    write(QStringLiteral("AC"), QStringLiteral("online"), "0\n");
    int changes = 0;
    QObject::connect(&watcher, &PowerSourceWatcher::powerSourceChanged, [&] { ++changes; });
    watcher.refresh();
    EXPECT_EQ(watcher.powerSource(), PowerSourceWatcher::PowerSource::internalBattery);
    write(QStringLiteral("AC"), QStringLiteral("online"), "1\n");
    watcher.refresh();
    watcher.refresh();
    EXPECT_EQ(watcher.powerSource(), PowerSourceWatcher::PowerSource::externalUnlimited);
    EXPECT_EQ(changes, 2);
}
