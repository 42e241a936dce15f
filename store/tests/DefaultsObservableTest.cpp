#include "store/DefaultsObservable.h"

#include "platform/testing/InMemorySuite.h"

#include "platform/testing/EventLoop.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::Defaults;

namespace {

// The smallest checkable control, standing in for a check box.
class FakeCheckBox : public QObject {
    Q_OBJECT
public:
    bool checked = false;
    void setChecked(bool on) {
        if (on == checked)
            return;
        checked = on;
        Q_EMIT toggled(on);
    }
    void click() { setChecked(!checked); }
Q_SIGNALS:
    void toggled(bool on);
};

} // namespace

TEST(DefaultsObservableTest, WrapperAnnouncesBeforeStoringAndAfterEveryChange) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> key(QStringLiteral("n"), 4, suite);
    Default<int> wrapper(key);
    QSignalSpy spy(wrapper.observable(), &ObservableBase::objectWillChange);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return spy.size() == 1; }));
    EXPECT_EQ(wrapper.value(), 4);
    EXPECT_TRUE(wrapper.isDefaultValue());

    std::vector<int> seenWhenAnnounced;
    QObject::connect(wrapper.observable(), &ObservableBase::objectWillChange,
                     [&] { seenWhenAnnounced.push_back(get(key)); });
    wrapper.setValue(5);
    ASSERT_EQ(seenWhenAnnounced, std::vector<int>{4}) << "the announcement comes before the store";
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return spy.size() == 3; }));

    // A change made elsewhere reaches every wrapper of the key.
    Default<int> other(key);
    QSignalSpy otherSpy(other.observable(), &ObservableBase::objectWillChange);
    set(key, 6);
    ASSERT_TRUE(
        kestrova::testing::processEventsUntil([&] { return spy.size() == 4 && otherSpy.size() >= 1; }));
    wrapper.binding().set(7);
    EXPECT_EQ(other.binding().get(), 7);
    wrapper.mutate([](int &value) { value *= 2; });
    EXPECT_EQ(get(key), 14);

    wrapper.reset();
    EXPECT_EQ(other.value(), 4);
    EXPECT_TRUE(other.isDefaultValue());
}

TEST(DefaultsObservableTest, AFreedObservableHearsNothingMore) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<int> key(QStringLiteral("n"), 0, suite);
    int announcements = 0;
    {
        Observable<int> observable(key);
        QObject::connect(&observable, &ObservableBase::objectWillChange, [&] { ++announcements; });
        ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return announcements == 1; }));
    }
    set(key, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(announcements, 1);
}

TEST(DefaultsObservableTest, ToggleRunsItsActionWhenItRendersAChangedValue) {
    auto suite = kestrova::testing::makeInMemorySuite();
    const Key<bool> key(QStringLiteral("shown"), false, suite);
    Toggle toggle(QStringLiteral("Show"), key);
    std::vector<bool> earlier;
    std::vector<bool> actions;
    toggle.onChange([&](bool on) { earlier.push_back(on); });
    toggle.onChange([&](bool on) { actions.push_back(on); });
    EXPECT_EQ(toggle.label(), QStringLiteral("Show"));

    FakeCheckBox box;
    connectToggle(&box, toggle);
    EXPECT_FALSE(box.checked);
    box.click();
    EXPECT_TRUE(get(key)) << "a flip stores at once";
    EXPECT_TRUE(actions.empty()) << "the action waits for the next render";
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return actions.size() == 1; }));
    EXPECT_TRUE(actions[0]);

    // Flipped elsewhere: the control follows and the action runs with the new value.
    set(key, false);
    ASSERT_TRUE(kestrova::testing::processEventsUntil([&] { return actions.size() == 2; }));
    EXPECT_FALSE(actions[1]);
    EXPECT_FALSE(box.checked);
    EXPECT_TRUE(earlier.empty()) << "only the later action is kept";
}

#include "DefaultsObservableTest.moc"
