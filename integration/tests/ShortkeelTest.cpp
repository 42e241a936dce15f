#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelEvents.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelService.h"
#include "integration/ShortkeelStorage.h"

#include "FakeHotKeyBackend.h"

#include "platform/observation/NotificationCenter.h"
#include "platform/defaults/UserDefaults.h"
#include "store/DefaultsKeys.h"
#include "store/Folder.h"
#include "store/ShortkeelHandlers.h"

#include "platform/testing/EventLoop.h"

#include <QCoreApplication>

#include <set>

#include <gtest/gtest.h>

using namespace kestrova;
using platform::PropertyListValue;
using Shortkeel::Name;
using Shortkeel::Shortcut;
using Chord = platform::desktop::HotKeyChord;
using kestrova::testing::processEventsUntil;
using Shortkeel::EventType;

namespace {

const Shortcut kCommandShiftK{40, 768};
const Chord kSuperShiftK{45, Chord::superMask | Chord::shiftMask};

// Runs the main queue up to what was posted before the call: streams start and stop there.
void runMainQueue() {
    bool reached = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&reached] { reached = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(processEventsUntil([&] { return reached; }));
}

// Keeps what a stream gives until it ends.
QCoro::Task<> collectEvents(AsyncStream<EventType>::Iterator *iterator, std::vector<EventType> *received) {
    for (;;) {
        auto next = iterator->next();
        const std::optional<EventType> event = co_await next;
        if (!event)
            co_return;
        received->push_back(*event);
    }
}

class ShortkeelTest : public ::testing::Test {
protected:
    void SetUp() override {
        CarbonShortkeel::setBackend(backend);
        ShortcutService::setShared(std::make_shared<ShortkeelService>());
        m_observer = platform::NotificationCenter::defaultCenter().addObserver(
            Shortkeel::shortcutByNameDidChange, nullptr, [this](const platform::Notification &notification) {
                const auto name = std::any_cast<Name>(notification.userInfo.at(QStringLiteral("name")));
                // Observers see the value that was just stored.
                changes.push_back({name.rawValue, Shortkeel::getShortcut(name)});
            });
    }
    void TearDown() override {
        platform::NotificationCenter::defaultCenter().removeObserver(m_observer);
        for (const auto &[key, value] : suite().dictionaryRepresentation()) {
            if (key.startsWith(QStringLiteral("Shortkeel_")))
                suite().removeObject(key);
        }
        Defaults::Keys::folders().reset();
        ShortcutService::setShared(nullptr);
        CarbonShortkeel::setBackend(nullptr);
    }

    static platform::UserDefaults &suite() { return *platform::UserDefaults::standard(); }
    static std::optional<PropertyListValue> stored(const QString &name) {
        return suite().object(Name(name).userDefaultsKey());
    }

    std::shared_ptr<kestrova::testing::FakeHotKeyBackend> backend =
        std::make_shared<kestrova::testing::FakeHotKeyBackend>();
    std::vector<std::pair<QString, std::optional<Shortcut>>> changes;

private:
    platform::NotificationCenter::ObserverId m_observer = 0;
};

} // namespace

TEST_F(ShortkeelTest, StoresTheJsonTextClearsToFalseOnceAndAnnouncesEachChange) {
    const Name name(QStringLiteral("toggleMenu"));
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    // Never set: clearing writes nothing and announces nothing.
    Shortkeel::setShortcut(std::nullopt, name);
    EXPECT_EQ(stored(name.rawValue), std::nullopt);
    EXPECT_TRUE(changes.empty());

    Shortkeel::setShortcut(kCommandShiftK, name);
    EXPECT_EQ(stored(name.rawValue),
              PropertyListValue(QStringLiteral(R"({"carbonKeyCode":40,"carbonModifiers":768})")));
    EXPECT_EQ(Shortkeel::getShortcut(name), kCommandShiftK);

    Shortkeel::setShortcut(std::nullopt, name);
    Shortkeel::setShortcut(std::nullopt, name);
    EXPECT_EQ(stored(name.rawValue), PropertyListValue(false));
    using Change = std::pair<QString, std::optional<Shortcut>>;
    EXPECT_EQ(changes, (std::vector<Change>{{name.rawValue, kCommandShiftK}, {name.rawValue, std::nullopt}}));

    // What others wrote: members in the other order or one more read as the shortcut; a missing member or
    // text members read as none and stay as they are.
    suite().setObject(PropertyListValue(QStringLiteral(R"({"carbonModifiers":256,"carbonKeyCode":1,"x":2})")),
                      name.userDefaultsKey());
    EXPECT_EQ(Shortkeel::getShortcut(name), (Shortcut{1, 256}));
    const PropertyListValue damaged(QStringLiteral(R"({"carbonKeyCode":"1","carbonModifiers":"256"})"));
    suite().setObject(damaged, name.userDefaultsKey());
    Shortkeel::setShortcut(std::nullopt, name);
    EXPECT_EQ(stored(name.rawValue), damaged);
    EXPECT_EQ(changes.size(), 2u);

    // A default is stored only where nothing at all is.
    const Name withDefault = Shortkeel::makeName(QStringLiteral("fresh"), Shortcut{2, 4096});
    EXPECT_EQ(Shortkeel::getShortcut(withDefault), (Shortcut{2, 4096}));
    Shortkeel::makeName(name.rawValue, Shortcut{2, 4096});
    EXPECT_EQ(stored(name.rawValue), damaged);
    Shortkeel::setShortcut(Shortcut{3, 256}, withDefault);
    Shortkeel::reset({withDefault});
    EXPECT_EQ(Shortkeel::getShortcut(withDefault), (Shortcut{2, 4096}));
}

TEST_F(ShortkeelTest, AStoredShortcutIsGrabbedOnceAndARefusedOneIsNeverTriedAgain) {
    const std::int64_t before = CarbonShortkeel::hotKeyIdCounter();
    Shortkeel::setShortcut(kCommandShiftK, Name(QStringLiteral("first")));
    // Nothing listens, yet the key is live.
    EXPECT_EQ(backend->grabbed, (std::map<std::uint32_t, Chord>{{before + 1, kSuperShiftK}}));
    EXPECT_TRUE(backend->hasHandler());

    // The same shortcut under another name: the registered set keeps it from a second grab.
    Shortkeel::setShortcut(kCommandShiftK, Name(QStringLiteral("second")));
    CarbonShortkeel::enable(Name(QStringLiteral("second")));
    EXPECT_EQ(backend->grabs.size(), 1u);

    // Held by another program: refused silently, the identifier used up, kept in the registered set.
    const Shortcut controlA{0, 4096};
    backend->heldElsewhere.insert(Chord{38, Chord::controlMask});
    Shortkeel::setShortcut(controlA, Name(QStringLiteral("third")));
    EXPECT_EQ(Shortkeel::getShortcut(Name(QStringLiteral("third"))), controlA);
    EXPECT_TRUE(Shortkeel::registeredShortcuts().contains(controlA));
    EXPECT_EQ(CarbonShortkeel::hotKeys().size(), 1u);
    CarbonShortkeel::enable(Name(QStringLiteral("third")));
    Folder::setAllShortcutsEnabled(true);
    EXPECT_EQ(backend->grabs.size(), 2u);
    backend->heldElsewhere.clear();
    Shortkeel::setShortcut(Shortcut{1, 4096}, Name(QStringLiteral("fourth")));
    EXPECT_EQ(backend->grabs.back(), before + 3);

    // Where the desktop assigned other keys, those are what the shortcut shows.
    EXPECT_EQ(Shortkeel::description(kCommandShiftK), QStringLiteral("\u21E7Super+K"));
    backend->assigned[before + 1] = QStringLiteral("Ctrl+Alt+K");
    EXPECT_EQ(Shortkeel::description(kCommandShiftK), QStringLiteral("Ctrl+Alt+K"));

    // No such key here (Function), or a hand-edited number out of range: nothing is grabbed.
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::function.rawValue, 256}, Name(QStringLiteral("fifth")));
    Shortkeel::setShortcut(Shortcut{40, 1 << 20}, Name(QStringLiteral("sixth")));
    EXPECT_EQ(backend->grabbed.size(), 2u);
}

TEST_F(ShortkeelTest, AStoredKeyWithoutControlOptionOrCommandIsGrabbedOnlyWhenItIsAFunctionKey) {
    // Hand-edited settings: plain "g", Caps Lock, Shift+A would be taken from every other program.
    const Name plain(QStringLiteral("plain"));
    suite().setObject(PropertyListValue(QStringLiteral(R"({"carbonKeyCode":5,"carbonModifiers":0})")),
                      plain.userDefaultsKey());
    CarbonShortkeel::enable(plain);
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::capsLock.rawValue, 0}, Name(QStringLiteral("caps")));
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::a.rawValue, Shortkeel::shiftKey},
                           Name(QStringLiteral("shifted")));
    auto listening = Shortkeel::onKeyDown(plain, [] {});
    EXPECT_TRUE(backend->grabbed.empty());

    // A function key may stand alone or with Shift; Option alone with a letter is a chord too.
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::f12.rawValue, 0}, Name(QStringLiteral("f12")));
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::f5.rawValue, Shortkeel::shiftKey},
                           Name(QStringLiteral("f5")));
    Shortkeel::setShortcut(Shortcut{Shortkeel::Key::g.rawValue, Shortkeel::optionKey},
                           Name(QStringLiteral("alt")));
    std::set<Chord> grabbed;
    for (const auto &[id, chord] : backend->grabbed)
        grabbed.insert(chord);
    EXPECT_EQ(grabbed,
              (std::set<Chord>{Chord{96, 0}, Chord{71, Chord::shiftMask}, Chord{42, Chord::altMask}}));
}

TEST_F(ShortkeelTest, ClearingOneOfTwoNamesWithOneShortcutKeepsTheOthersHotKey) {
    const Name first(QStringLiteral("first"));
    const Name second(QStringLiteral("second"));
    Shortkeel::setShortcut(kCommandShiftK, first);
    Shortkeel::setShortcut(kCommandShiftK, second);
    int secondRuns = 0;
    auto listening = Shortkeel::onKeyDown(second, [&] { ++secondRuns; });

    Shortkeel::setShortcut(std::nullopt, first);
    backend->press(kSuperShiftK);
    EXPECT_EQ(secondRuns, 1);
    // Replacing it under the first name keeps it too.
    Shortkeel::setShortcut(kCommandShiftK, first);
    Shortkeel::setShortcut(Shortcut{1, 256}, first);
    backend->press(kSuperShiftK);
    EXPECT_EQ(secondRuns, 2);

    // The last name to let go takes it down.
    Shortkeel::setShortcut(std::nullopt, second);
    EXPECT_FALSE(Shortkeel::registeredShortcuts().contains(kCommandShiftK));
    backend->press(kSuperShiftK);
    EXPECT_EQ(secondRuns, 2);
}

TEST_F(ShortkeelTest, PressesAndReleasesRunTheListenersOfEveryNameBoundToTheShortcut) {
    Shortkeel::setShortcut(kCommandShiftK, Name::toggleMenu());
    Shortkeel::setShortcut(kCommandShiftK, Name(QStringLiteral("first")));
    std::vector<QString> ran;
    auto toggle = Shortkeel::onKeyDown(Name::toggleMenu(), [&] { ran.push_back(QStringLiteral("down")); });
    auto first =
        Shortkeel::onKeyDown(Name(QStringLiteral("first")), [&] { ran.push_back(QStringLiteral("first")); });
    auto up = Shortkeel::onKeyUp(Name::toggleMenu(), [&] { ran.push_back(QStringLiteral("up")); });

    backend->press(kSuperShiftK);
    backend->press(kSuperShiftK, false);
    EXPECT_EQ(ran,
              (std::vector<QString>{QStringLiteral("down"), QStringLiteral("first"), QStringLiteral("up")}));

    Shortkeel::setPaused(true);
    backend->press(kSuperShiftK);
    backend->press(kSuperShiftK, false);
    Shortkeel::setPaused(false);
    EXPECT_EQ(ran.size(), 3u);

    // A hot key whose entry went meanwhile runs nothing.
    const std::uint32_t id = backend->grabbed.begin()->first;
    CarbonShortkeel::unregister(kCommandShiftK);
    backend->grabbed[id] = kSuperShiftK;
    backend->press(kSuperShiftK);
    EXPECT_EQ(ran.size(), 3u);
}

TEST_F(ShortkeelTest, FolderHotKeysGoDownWhileAMenuIsOpenAndARemovedFolderKeepsFalse) {
    const Folder folder(QUuid::createUuid(), {});
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    Shortkeel::setShortcut(kCommandShiftK, folder.shortcutName());
    ASSERT_EQ(backend->grabbed.size(), 1u);

    Folder::setAllShortcutsEnabled(false);
    EXPECT_TRUE(backend->grabbed.empty());
    Folder::setAllShortcutsEnabled(true);
    Folder::setAllShortcutsEnabled(true);
    EXPECT_EQ(backend->grabbed.size(), 1u);
    EXPECT_EQ(backend->grabs.size(), 2u);

    // Before a relaunch every grab is let go, so that the new instance can take them.
    CarbonShortkeel::releaseAll();
    EXPECT_TRUE(backend->grabbed.empty());
    EXPECT_TRUE(Shortkeel::registeredShortcuts().empty());
    Folder::setAllShortcutsEnabled(true);

    folder.remove();
    EXPECT_EQ(stored(folder.shortcutName().rawValue), PropertyListValue(false));
    EXPECT_TRUE(backend->grabbed.empty());
}

TEST_F(ShortkeelTest, AHotKeyCarriesItsFolderAndNameAndIsForgottenOnlyWhenNoLongerStored) {
    Folder folder(QUuid::createUuid(), {});
    folder.customTitle = QStringLiteral("Documents");
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folder});
    const Name name = folder.shortcutName();
    Shortkeel::setShortcut(kCommandShiftK, name);
    ASSERT_EQ(backend->labels.size(), 1u);
    EXPECT_EQ(backend->labels.begin()->second,
              (platform::desktop::HotKeyLabel{name.rawValue, QStringLiteral("Open the menu of Documents")}));

    // A menu opening takes the keys down for a while: the name still has its shortcut.
    Folder::setAllShortcutsEnabled(false);
    Folder::setAllShortcutsEnabled(true);
    EXPECT_TRUE(backend->forgotten.empty());
    EXPECT_EQ(backend->labels.rbegin()->second.name, name.rawValue);

    // Another shortcut for the name: the same name grabs it, the old keys are forgotten under it; cleared,
    // the name is forgotten again.
    Shortkeel::setShortcut(Shortcut{1, 4096}, name);
    EXPECT_EQ(backend->forgotten, std::vector<QString>{name.rawValue});
    EXPECT_EQ(backend->labels.rbegin()->second.name, name.rawValue);
    Shortkeel::setShortcut(std::nullopt, name);
    EXPECT_EQ(backend->forgotten, (std::vector<QString>{name.rawValue, name.rawValue}));
    EXPECT_TRUE(backend->grabbed.empty());
}

TEST_F(ShortkeelTest, EventStreamsGetPressesAndReleasesAndLetTheHotKeyGoWhenTheyEnd) {
    const Name &name = Name::toggleMenu();
    Shortkeel::setShortcut(kCommandShiftK, name);
    CarbonShortkeel::disable(name);
    ASSERT_TRUE(backend->grabbed.empty());

    auto everything = Shortkeel::events(name).makeAsyncIterator();
    std::vector<EventType> received;
    collectEvents(&everything, &received);
    int releases = 0;
    CancellationToken stopWaiting;
    QCoro::Task<> waiting = Shortkeel::awaitEvents(
        EventType::keyUp, name, [&releases] { ++releases; }, stopWaiting);
    // Listening makes the hot key live again.
    ASSERT_TRUE(processEventsUntil([&] { return !backend->grabbed.empty(); }));

    for (int round = 0; round < 2; ++round) {
        backend->press(kSuperShiftK);
        backend->press(kSuperShiftK, false);
    }
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 4 && releases >= 2; }));
    EXPECT_EQ(received,
              (std::vector{EventType::keyDown, EventType::keyUp, EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(releases, 2);

    Shortkeel::setPaused(true);
    backend->press(kSuperShiftK);
    Shortkeel::setPaused(false);

    // Cancelled, the waiting ends; the other stream still holds the hot key.
    stopWaiting.cancel();
    kestrova::testing::awaitTask(std::move(waiting));
    runMainQueue();
    EXPECT_FALSE(backend->grabbed.empty());

    // The consumer stops: the stream ends and, as nothing else listens, the hot key goes down.
    everything.cancel();
    ASSERT_TRUE(processEventsUntil([&] { return backend->grabbed.empty(); }));
    EXPECT_FALSE(Shortkeel::registeredShortcuts().contains(kCommandShiftK));
    EXPECT_EQ(received.size(), 4u);
    // Stored again, it is live again.
    Shortkeel::setShortcut(kCommandShiftK, name);
    EXPECT_EQ(backend->grabbed.size(), 1u);
}

TEST_F(ShortkeelTest, AStreamEndedAtOnceKeepsTheHotKeyOfAnotherNameOfTheSameShortcut) {
    const Name first(QStringLiteral("first"));
    const Name second(QStringLiteral("second"));
    const Shortcut controlA{0, 4096};
    Shortkeel::setShortcut(controlA, first);
    CarbonShortkeel::disable(first);
    Shortkeel::events(first);
    runMainQueue();
    EXPECT_TRUE(backend->grabbed.empty());

    Shortkeel::setShortcut(kCommandShiftK, first);
    Shortkeel::setShortcut(kCommandShiftK, second);
    int secondRuns = 0;
    auto listening = Shortkeel::onKeyDown(second, [&] { ++secondRuns; });
    Shortkeel::events(first);
    runMainQueue();
    backend->press(kSuperShiftK);
    EXPECT_EQ(secondRuns, 1);
}

TEST_F(ShortkeelTest, RemovingAllHandlersLeavesTheStreamsAndTheHotKeysTheyUse) {
    const Name onlyActions(QStringLiteral("onlyActions"));
    const Name actionsOfShared(QStringLiteral("actionsOfShared"));
    const Name streamOfShared(QStringLiteral("streamOfShared"));
    const Shortcut controlA{0, 4096};
    Shortkeel::setShortcut(controlA, onlyActions);
    Shortkeel::setShortcut(kCommandShiftK, actionsOfShared);
    Shortkeel::setShortcut(kCommandShiftK, streamOfShared);
    std::vector<QString> ran;
    auto down = Shortkeel::onKeyDown(onlyActions, [&] { ran.push_back(QStringLiteral("onlyActions")); });
    auto up = Shortkeel::onKeyUp(onlyActions, [&] { ran.push_back(QStringLiteral("onlyActions up")); });
    auto shared = Shortkeel::onKeyDown(actionsOfShared, [&] { ran.push_back(QStringLiteral("shared")); });
    auto stream = Shortkeel::events(streamOfShared).makeAsyncIterator();
    std::vector<EventType> received;
    collectEvents(&stream, &received);
    runMainQueue();
    ASSERT_EQ(backend->grabbed.size(), 2u);

    Shortkeel::removeAllHandlers();
    EXPECT_EQ(backend->grabbed.size(), 1u);
    EXPECT_EQ(backend->grabbed.begin()->second, kSuperShiftK);
    EXPECT_FALSE(Shortkeel::registeredShortcuts().contains(controlA));
    EXPECT_TRUE(Shortkeel::registeredShortcuts().contains(kCommandShiftK));

    Shortkeel::handleOnKeyDown(controlA);
    Shortkeel::handleOnKeyUp(controlA);
    backend->press(kSuperShiftK);
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(processEventsUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector{EventType::keyDown});

    // The subscriptions of removed actions do nothing any more: the stream's hot key stays.
    shared.cancel();
    EXPECT_EQ(backend->grabbed.size(), 1u);
    stream.cancel();
    runMainQueue();
    EXPECT_TRUE(backend->grabbed.empty());
}
