#include "integration/views/ShortkeelRecorder.h"

#include "integration/CarbonShortkeel.h"
#include "integration/ShortkeelKeys.h"
#include "integration/ShortkeelService.h"
#include "integration/ShortkeelStorage.h"

#include "FakeHotKeyBackend.h"
#include "StoredFolders_p.h"

#include "platform/defaults/UserDefaults.h"
#include "platform/menus/Menu.h"
#include "platform/menus/MenuItem.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"
#include "store/DefaultsKeys.h"
#include "store/ShortkeelHandlers.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrova;
using Shortkeel::Key;
using Shortkeel::Name;
using Shortkeel::RecorderCocoa;
using Shortkeel::Shortcut;
using Chord = platform::desktop::HotKeyChord;
using kestrova::testing::processEventsUntil;

namespace {

constexpr auto kControlAlt = Qt::ControlModifier | Qt::AltModifier;

// A window as a settings screen would hold the recorder: the recorder, then a plain field Tab moves to.
class RecorderWindow {
public:
    RecorderWindow(const Name &name, RecorderCocoa::OnChange onChange = {}) {
        auto *layout = new QVBoxLayout(&window);
        recorder = new Shortkeel::Recorder(QStringLiteral("Toggle menu:"), name, std::move(onChange));
        layout->addWidget(recorder);
        next = new QLineEdit;
        layout->addWidget(next);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    RecorderCocoa *field() const { return recorder->control(); }
    void click() const { QTest::mouseClick(field(), Qt::LeftButton); }

    QWidget window;
    Shortkeel::Recorder *recorder = nullptr;
    QLineEdit *next = nullptr;
};

// A key pressed and released as the X server reports it: the X key code as the native scan code, the
// held modifiers; the press goes where the focus is.
void press(Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int qtKey = Qt::Key_unknown,
           bool release = true) {
    const quint32 keyCode = key.x11KeyCode().value_or(0);
    QKeyEvent down(QEvent::KeyPress, qtKey, modifiers, keyCode, 0, 0);
    QWidget *target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    // What Qt does first with a key: ask whether a shortcut takes it.
    QKeyEvent override(QEvent::ShortcutOverride, qtKey, modifiers, keyCode, 0, 0);
    QApplication::sendEvent(target, &override);
    QApplication::sendEvent(target, &down);
    if (!release)
        return;
    QKeyEvent up(QEvent::KeyRelease, qtKey, modifiers, keyCode, 0, 0);
    QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : target, &up);
}

class ShortkeelRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        CarbonShortkeel::setBackend(backend);
        ShortcutService::setShared(std::make_shared<ShortkeelService>());
        platform::AlertPresenter::setShared(alerts);
    }
    void TearDown() override {
        RecorderCocoa::setMainMenu({});
        for (const auto &[key, value] : platform::UserDefaults::standard()->dictionaryRepresentation()) {
            if (key.startsWith(QStringLiteral("Shortkeel_")))
                platform::UserDefaults::standard()->removeObject(key);
        }
        Defaults::Keys::folders().reset();
        platform::AlertPresenter::setShared(nullptr);
        ShortcutService::setShared(nullptr);
        CarbonShortkeel::setBackend(nullptr);
        Shortkeel::setPaused(false);
    }

    bool isGrabbed(Chord chord) const {
        for (const auto &[id, held] : backend->grabbed) {
            if (held == chord)
                return true;
        }
        return false;
    }

    const Name name{QStringLiteral("toggleMenu")};
    std::shared_ptr<kestrova::testing::FakeHotKeyBackend> backend =
        std::make_shared<kestrova::testing::FakeHotKeyBackend>();
    std::shared_ptr<kestrova::testing::ScriptedAlertPresenter> alerts =
        std::make_shared<kestrova::testing::ScriptedAlertPresenter>();
};

} // namespace

TEST_F(ShortkeelRecorderTest, ClickRecordsReplacesAndDeleteClearsEachStoredLiveAndShown) {
    std::vector<std::optional<Shortcut>> told;
    RecorderWindow window(name, [&](const std::optional<Shortcut> &shortcut) { told.push_back(shortcut); });
    RecorderCocoa *field = window.field();
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Record Shortcut"));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(Shortkeel::isPaused());

    window.click();
    ASSERT_TRUE(field->isRecording());
    EXPECT_EQ(field->placeholderText(), QStringLiteral("Press Shortcut"));
    EXPECT_TRUE(Shortkeel::isPaused());

    // A modifier alone is no combination yet; Control+Alt+K with them held is.
    press(Key::control, Qt::ControlModifier, Qt::Key_Control, /*release=*/false);
    EXPECT_TRUE(field->isRecording());
    press(Key::k, kControlAlt, Qt::Key_K);
    const Shortcut controlAltK =
        Shortkeel::shortcut(Key::k, platform::Modifier::control | platform::Modifier::option);
    EXPECT_EQ(Shortkeel::getShortcut(name), controlAltK);
    EXPECT_TRUE(isGrabbed(*Shortkeel::hotKeyChord(controlAltK)));
    EXPECT_EQ(field->text(), Shortkeel::description(controlAltK));
    EXPECT_FALSE(field->isRecording());
    EXPECT_FALSE(field->hasFocus());
    EXPECT_FALSE(Shortkeel::isPaused());

    // Replaced: the old hot key goes, the new one is live.
    window.click();
    press(Key::f5, Qt::ShiftModifier, Qt::Key_F5);
    const Shortcut shiftF5 = Shortkeel::shortcut(Key::f5, platform::Modifier::shift);
    EXPECT_EQ(Shortkeel::getShortcut(name), shiftF5);
    EXPECT_FALSE(isGrabbed(*Shortkeel::hotKeyChord(controlAltK)));
    EXPECT_TRUE(isGrabbed(*Shortkeel::hotKeyChord(shiftF5)));

    // Delete clears it and records again at once; Escape then ends recording without a change.
    window.click();
    press(Key::delete_, Qt::NoModifier, Qt::Key_Backspace);
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    EXPECT_EQ(platform::UserDefaults::standard()->object(name.userDefaultsKey()),
              platform::PropertyListValue(false));
    EXPECT_TRUE(backend->grabbed.empty());
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->isRecording());
    press(Key::escape, Qt::NoModifier, Qt::Key_Escape);
    EXPECT_FALSE(field->isRecording());
    EXPECT_FALSE(Shortkeel::isPaused());
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    EXPECT_EQ(told, (std::vector<std::optional<Shortcut>>{controlAltK, shiftF5, std::nullopt}));

    // The clear button does what Delete does.
    Shortkeel::setShortcut(controlAltK, name);
    EXPECT_EQ(field->text(), Shortkeel::description(controlAltK));
    auto *clearButton = field->findChild<QToolButton *>();
    ASSERT_NE(clearButton, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return clearButton->isVisible() && clearButton->isEnabled(); }));
    QTest::mouseClick(clearButton, Qt::LeftButton);
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    EXPECT_TRUE(field->isRecording());
}

TEST_F(ShortkeelRecorderTest, BareKeysAndShiftTabAreRefusedTabMovesOnAndHeldKeysRecordOnce) {
    std::vector<std::optional<Shortcut>> told;
    RecorderWindow window(name, [&](const std::optional<Shortcut> &shortcut) { told.push_back(shortcut); });
    window.click();
    press(Key::a, Qt::ShiftModifier, Qt::Key_A);
    press(Key::a, Qt::NoModifier, Qt::Key_A);
    press(Key::space, Qt::NoModifier, Qt::Key_Space);
    press(Key::return_, Qt::NoModifier, Qt::Key_Return);
    press(Key::leftArrow, Qt::NoModifier, Qt::Key_Left);
    press(Key::tab, Qt::ShiftModifier, Qt::Key_Backtab);
    EXPECT_TRUE(window.field()->isRecording());
    EXPECT_TRUE(window.field()->text().isEmpty());
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    // Nothing typed into the field: a pasted or composed text is no shortcut either.
    QInputMethodEvent composed;
    composed.setCommitString(QString(300, QLatin1Char('x')));
    QApplication::sendEvent(window.field(), &composed);
    EXPECT_TRUE(window.field()->text().isEmpty());

    // Control+Tab is a shortcut; Tab alone passes focus on.
    press(Key::tab, Qt::ControlModifier, Qt::Key_Tab);
    EXPECT_EQ(Shortkeel::getShortcut(name), Shortkeel::shortcut(Key::tab, platform::Modifier::control));
    window.click();
    press(Key::tab, Qt::NoModifier, Qt::Key_Tab);
    EXPECT_FALSE(window.field()->isRecording());
    EXPECT_TRUE(window.next->hasFocus());
    EXPECT_FALSE(Shortkeel::isPaused());

    // A held Delete repeats as presses without releases: one clearing, not one per repeat.
    told.clear();
    window.click();
    press(Key::delete_, Qt::NoModifier, Qt::Key_Backspace, /*release=*/false);
    ASSERT_EQ(told.size(), 1u);
    const Shortcut controlK = Shortkeel::shortcut(Key::k, platform::Modifier::control);
    Shortkeel::setShortcut(controlK, name);
    press(Key::delete_, Qt::NoModifier, Qt::Key_Backspace, /*release=*/false);
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(Shortkeel::getShortcut(name), controlK);
}

TEST_F(ShortkeelRecorderTest, ConflictsAreRefusedWithAnAlertOnTheWindowAndRecordingResumes) {
    QTemporaryDir root;
    const Folder documents = kestrova::testing::makeStoredFolder(root, QStringLiteral("Documents"), true);
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{documents});
    const Shortcut controlAltD =
        Shortkeel::shortcut(Key::d, platform::Modifier::control | platform::Modifier::option);
    Shortkeel::setShortcut(controlAltD, documents.shortcutName());

    auto menu = std::make_shared<platform::Menu>();
    auto quit = std::make_shared<platform::MenuItem>(QStringLiteral("Quit Kestrova"));
    quit->setKeyEquivalent(QStringLiteral("q"));
    quit->setKeyEquivalentModifierMask(platform::Modifier::control | platform::Modifier::option);
    menu->addItem(quit);
    RecorderCocoa::setMainMenu(menu);
    backend->heldElsewhere.insert(Chord{*Key::l.x11KeyCode(), Chord::controlMask | Chord::altMask});

    RecorderWindow window(name);
    for (const auto &[key, qtKey] :
         {std::pair{Key::d, Qt::Key_D}, {Key::q, Qt::Key_Q}, {Key::l, Qt::Key_L}}) {
        alerts->answer(platform::ModalResponse::alertFirstButtonReturn);
        window.click();
        press(key, kControlAlt, qtKey);
        EXPECT_TRUE(window.field()->isRecording());
        EXPECT_TRUE(Shortkeel::isPaused());
    }
    ASSERT_EQ(alerts->shownAlerts().size(), 3u);
    EXPECT_EQ(
        alerts->shownAlerts()[0].messageText,
        QStringLiteral("This keyboard shortcut cannot be used as it's already used to “open the menu of "
                       "Documents”."));
    EXPECT_EQ(
        alerts->shownAlerts()[1].messageText,
        QStringLiteral("This keyboard shortcut cannot be used as it's already used by the “Quit Kestrova” "
                       "menu item."));
    EXPECT_EQ(alerts->shownAlerts()[2].messageText,
              QStringLiteral("This keyboard shortcut cannot be used as it's already a system-wide keyboard "
                             "shortcut."));
    EXPECT_EQ(alerts->shownAlerts()[2].alertStyle, platform::Alert::Style::warning);
    for (QWindow *sheetWindow : alerts->sheetWindows())
        EXPECT_EQ(sheetWindow, window.window.windowHandle());
    EXPECT_EQ(Shortkeel::getShortcut(name), std::nullopt);
    EXPECT_EQ(Shortkeel::getShortcut(documents.shortcutName()), controlAltD);

    // Bare F12 is never asked about; the folder may record its own shortcut again.
    backend->heldElsewhere.insert(Chord{*Key::f12.x11KeyCode(), 0});
    press(Key::f12, Qt::NoModifier, Qt::Key_F12);
    EXPECT_EQ(Shortkeel::getShortcut(name), Shortkeel::shortcut(Key::f12, {}));
    EXPECT_EQ(alerts->shownAlerts().size(), 3u);
}

TEST_F(ShortkeelRecorderTest, ListenersArePausedOnlyWhileRecordingHoweverItEnds) {
    {
        RecorderWindow window(name);
        window.click();
        window.next->setFocus(Qt::MouseFocusReason);
        EXPECT_FALSE(Shortkeel::isPaused());

        window.click();
        // A click far outside the field ends it; one within a few pixels does not.
        const QPoint justOutside = window.field()->mapTo(&window.window, QPoint(-2, 2));
        QTest::mouseClick(&window.window, Qt::LeftButton, {}, justOutside);
        EXPECT_TRUE(window.field()->isRecording());

        window.field()->setShortcutName(Name(QStringLiteral("other")));
        EXPECT_TRUE(processEventsUntil([&] { return !window.field()->isRecording(); }));
        EXPECT_FALSE(Shortkeel::isPaused());

        // Another window to the front ends it; coming back does not record again.
        window.click();
        QWidget other;
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        EXPECT_FALSE(window.field()->isRecording());
        EXPECT_FALSE(Shortkeel::isPaused());
        window.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window.window));
        EXPECT_FALSE(window.field()->isRecording());

        window.click();
        window.window.close();
        EXPECT_FALSE(window.field()->isRecording());
        EXPECT_FALSE(Shortkeel::isPaused());
        window.window.show();
        window.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window.window));
        EXPECT_FALSE(window.field()->isRecording());
    }
    {
        RecorderWindow window(name);
        window.click();
        EXPECT_TRUE(Shortkeel::isPaused());
        delete window.recorder;
        EXPECT_FALSE(Shortkeel::isPaused());
    }
}

TEST_F(ShortkeelRecorderTest, AGrabbedCombinationComesToTheRecorderNotToItsListeners) {
    const Name other(QStringLiteral("other"));
    const Shortcut controlAltG =
        Shortkeel::shortcut(Key::g, platform::Modifier::control | platform::Modifier::option);
    const Chord chord = *Shortkeel::hotKeyChord(controlAltG);
    Shortkeel::setShortcut(controlAltG, name);
    int opened = 0;
    const auto listening = Shortkeel::onKeyDown(name, [&] { ++opened; });
    backend->press(chord);
    backend->press(chord, /*isPress=*/false);
    ASSERT_EQ(opened, 1);

    // Another name's recorder sees the grabbed chord, and refuses it as held by that name.
    {
        RecorderWindow window(other);
        alerts->answer(platform::ModalResponse::alertFirstButtonReturn);
        window.click();
        backend->press(chord);
        backend->press(chord, /*isPress=*/false);
        EXPECT_EQ(alerts->shownAlerts().size(), 1u);
        EXPECT_EQ(Shortkeel::getShortcut(other), std::nullopt);
        EXPECT_TRUE(window.field()->isRecording());
    }
    // The name's own recorder records it again; its release after recording ended runs nothing either.
    {
        RecorderWindow window(name);
        window.click();
        backend->press(chord);
        EXPECT_FALSE(window.field()->isRecording());
        backend->press(chord, /*isPress=*/false);
        EXPECT_EQ(Shortkeel::getShortcut(name), controlAltG);
        EXPECT_EQ(window.field()->text(), Shortkeel::description(controlAltG));
    }
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(isGrabbed(chord));
    backend->press(chord);
    EXPECT_EQ(opened, 2);
}

TEST_F(ShortkeelRecorderTest, WhereTheDesktopAssignsTheKeysTheFieldShowsWhatItAssigned) {
    RecorderWindow window(name);
    RecorderCocoa *field = window.field();
    window.click();
    press(Key::k, kControlAlt, Qt::Key_K);
    const Shortcut controlAltK =
        Shortkeel::shortcut(Key::k, platform::Modifier::control | platform::Modifier::option);
    // First what was asked for: the preferred trigger.
    EXPECT_EQ(field->text(), Shortkeel::description(controlAltK));
    ASSERT_FALSE(backend->grabbed.empty());
    const std::uint32_t id = backend->grabbed.rbegin()->first;

    // The desktop bound it to other keys (the user chose them in its dialog): the field shows those.
    backend->assign(id, QStringLiteral("Super+Shift+K"));
    EXPECT_EQ(field->text(), QStringLiteral("Super+Shift+K"));
    EXPECT_EQ(Shortkeel::getShortcut(name), controlAltK);

    // While recording, the field is left to the recording.
    window.click();
    ASSERT_TRUE(field->isRecording());
    backend->assign(id, QStringLiteral("Super+J"));
    EXPECT_NE(field->text(), QStringLiteral("Super+J"));
}
