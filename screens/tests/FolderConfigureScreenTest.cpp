// A folder's configuration window as the user drives it through the hook the status items call: each row
// changed with real key events stores exactly the folder's JSON, one window per folder, and the window
// following the store (other writers, a removed folder, the single-menu-item switch) and bad input.
#include "ScreenTesting_p.h"

#include "screens/folders/FolderConfigureScreen.h"

#include "screens/colors/ReusableMenuBarItemColorSetting.h"
#include "screens/icons/MenuBarItemIconSetting.h"

#include "integration/views/ShortkeelRecorder.h"
#include "menubar/FolderMenuBarItem.h"
#include "store/DefaultsObservation.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace kestrova {
namespace {

using testing::processEventsUntil;

class FolderConfigureScreenTest : public testing::ScreenTest {
protected:
    // Opens the window the way a folder's status item does and waits until it has the keyboard.
    std::shared_ptr<QObject> open(const Folder &folder, int *closes = nullptr) {
        auto handle =
            showFolderConfigureWindow(folderElementBinding(folder, storedFoldersBinding()), [closes] {
                if (closes)
                    ++*closes;
            });
        m_window = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->objectName() == QStringLiteral("FolderConfigureWindow") &&
                window->windowTitle() == folder.title())
                m_window = window;
        EXPECT_NE(m_window, nullptr);
        if (m_window) {
            EXPECT_TRUE(QTest::qWaitForWindowActive(m_window));
        }
        return handle;
    }
    QTabWidget *tabs() const { return m_window->findChild<QTabWidget *>(); }
    QStringList tabTitles() const {
        QStringList titles;
        for (int index = 0; index < tabs()->count(); ++index)
            titles << tabs()->tabText(index).remove(u'&');
        return titles;
    }
    void type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_window, key, modifiers);
    }
    void typeText(const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    // Waits until the folder is stored exactly as `expected` would be (member order included); button
    // mnemonics click a moment after the key.
    static bool isStoredAs(const Folder &expected) {
        return processEventsUntil([&] { return storedJson(expected.id) == expected.toJson(); });
    }
    static Json storedJson(const QUuid &id) {
        for (const Json &json : storedFolderJson())
            if (json.value("id", std::string()) == id.toString(QUuid::WithoutBraces).toUpper().toStdString())
                return json;
        return Json();
    }

    QWidget *m_window = nullptr;
};

TEST_F(FolderConfigureScreenTest, EveryRowStoresTheFolderAtOnceAndNothingElse) {
    const Folder folder = addFolder(QStringLiteral("Projects"));
    const Folder other = addFolder(QStringLiteral("Other"));
    const Json otherBefore = storedJson(other.id);
    Folder expected = folder;
    ASSERT_EQ(storedJson(folder.id), expected.toJson());
    const auto handle = open(folder);
    ASSERT_TRUE(m_window);
    EXPECT_EQ(tabTitles(),
              (QStringList{QStringLiteral("Menu Bar"), QStringLiteral("Menu"), QStringLiteral("Shortcuts")}));
    auto *title = m_window->findChild<QLineEdit *>(QStringLiteral("title"));
    EXPECT_EQ(title->placeholderText(), QStringLiteral("Projects"));

    // "Show:" with the keyboard: its mnemonic, then an arrow to the next style.
    type(Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(processEventsUntil([] { return qobject_cast<QRadioButton *>(QApplication::focusWidget()); }));
    type(Qt::Key_Down);
    expected.menuBarItemStyle = Folder::MenuBarItemStyle::title;
    EXPECT_TRUE(isStoredAs(expected));

    // Each keystroke of the title is stored, and the window's title follows.
    type(Qt::Key_T, Qt::AltModifier);
    typeText(QStringLiteral("Wo"));
    expected.customTitle = QStringLiteral("Wo");
    EXPECT_TRUE(isStoredAs(expected));
    typeText(QStringLiteral("rk"));
    expected.customTitle = QStringLiteral("Work");
    EXPECT_TRUE(isStoredAs(expected));
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Work"));

    // The "Menu" tab: sort order from the drop-down with the arrow keys, the item limit, the toggles.
    type(Qt::Key_E, Qt::AltModifier);
    type(Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), m_window->findChild<QComboBox *>(QStringLiteral("sortOrder")));
    type(Qt::Key_Down);
    type(Qt::Key_Down);
    expected.sortOrder = Folder::SortOrder::dateModified;
    EXPECT_TRUE(isStoredAs(expected));
    type(Qt::Key_M, Qt::AltModifier);
    typeText(QStringLiteral("-5"));
    expected.itemLimit = -5;
    EXPECT_TRUE(isStoredAs(expected));
    type(Qt::Key_I, Qt::AltModifier);
    ASSERT_TRUE(processEventsUntil([] { return qobject_cast<QRadioButton *>(QApplication::focusWidget()); }));
    type(Qt::Key_Right);
    expected.fileIconSize = Folder::FileIconSize::medium;
    EXPECT_TRUE(isStoredAs(expected));
    for (const auto &[key, change] : std::vector<std::pair<Qt::Key, std::function<void(Folder &)>>>{
             {Qt::Key_H, [](Folder &edited) { edited.showHiddenItems = true; }},
             {Qt::Key_K, [](Folder &edited) { edited.keepFoldersOnTop = false; }},
             {Qt::Key_L, [](Folder &edited) { edited.showTitleInMenu = false; }},
             {Qt::Key_W, [](Folder &edited) { edited.showOpenWithMenuForFolders = true; }}}) {
        type(key, Qt::AltModifier);
        change(expected);
        EXPECT_TRUE(isStoredAs(expected)) << QKeySequence(key).toString().toStdString();
    }

    // The shortcut tab: the recorder records for the folder's id; it stores the shortcut, not the folder.
    type(Qt::Key_U, Qt::AltModifier);
    type(Qt::Key_M, Qt::AltModifier);
    auto *recorder = m_window->findChild<Shortkeel::RecorderCocoa *>();
    ASSERT_TRUE(recorder);
    EXPECT_TRUE(processEventsUntil([&] { return recorder->isRecording(); }));
    EXPECT_EQ(recorder->shortcutName().rawValue, folder.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(storedJson(folder.id), expected.toJson());
    EXPECT_EQ(storedJson(other.id), otherBefore) << "no other folder is touched";
}

TEST_F(FolderConfigureScreenTest, TheItemLimitAndTitleTakeHostileInputWithoutLosingAnything) {
    const Folder folder = addFolder(QStringLiteral("Inbox"));
    const auto handle = open(folder);
    ASSERT_TRUE(m_window);
    auto *limit = m_window->findChild<QLineEdit *>(QStringLiteral("itemLimit"));
    tabs()->setCurrentIndex(1);
    limit->setFocus();
    typeText(QStringLiteral("abc"));
    EXPECT_EQ(limit->text(), QString()) << "letters are refused";
    EXPECT_FALSE(storedJson(folder.id).contains("itemLimit"));
    typeText(QStringLiteral("99999999999"));
    ASSERT_TRUE(processEventsUntil([&] { return storedJson(folder.id).contains("itemLimit"); }));
    EXPECT_EQ(storedJson(folder.id)["itemLimit"], 99999999999LL);
    // Past what a stored integer holds, the field takes no more digits.
    typeText(QStringLiteral("99999999999"));
    EXPECT_EQ(limit->text().size(), 18);
    limit->selectAll();
    type(Qt::Key_Backspace);
    EXPECT_FALSE(storedJson(folder.id).contains("itemLimit")) << "an empty field is no limit";
    typeText(QStringLiteral("-"));
    EXPECT_FALSE(storedJson(folder.id).contains("itemLimit")) << "a lone minus is not a number yet";
    type(Qt::Key_Tab);
    EXPECT_EQ(limit->text(), QString()) << "left half-typed, the field shows what is stored";

    // Ten thousand characters with control characters and right-to-left text: stored exactly as typed,
    // the window's title one readable line.
    const QString hostile = QStringLiteral("\u05e9\u05dc\u05d5\u05dd\tline\nbreak ") + QString(10000, u'x');
    tabs()->setCurrentIndex(0);
    auto *title = m_window->findChild<QLineEdit *>(QStringLiteral("title"));
    title->setFocus();
    title->insert(hostile);
    Q_EMIT title->textEdited(title->text());
    EXPECT_EQ(QString::fromStdString(storedJson(folder.id)["customTitle"].get<std::string>()), title->text());
    EXPECT_LE(m_window->windowTitle().size(), 200);
    EXPECT_FALSE(m_window->windowTitle().contains(u'\n'));
    EXPECT_FALSE(m_window->windowTitle().contains(u'\t'));
    // A blank title brings the folder's name back.
    title->selectAll();
    typeText(QStringLiteral(" "));
    EXPECT_EQ(storedJson(folder.id)["customTitle"], " ");
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Inbox"));
}

TEST_F(FolderConfigureScreenTest, OneWindowPerFolderFollowingTheStoreUntilItsFolderGoes) {
    const Folder first = addFolder(QStringLiteral("First"));
    const Folder second = addFolder(QStringLiteral("Second"));
    int closes = 0;
    auto handle = open(first, &closes);
    ASSERT_TRUE(m_window);
    QWidget *window = m_window;
    // Asked for again (twice at once, by two askers): the same window, brought forward.
    auto again = open(first);
    EXPECT_EQ(again, handle);
    EXPECT_EQ(m_window, window);
    auto secondHandle = open(second);
    EXPECT_NE(m_window, window);
    EXPECT_NE(secondHandle, handle);

    // Another process changes the folder in the settings file: the window shows it.
    platform::UserDefaults otherProcess(platform::UserDefaults::standard()->filePath());
    auto folders = Defaults::get(Defaults::Keys::folders(), otherProcess);
    folders[0].sortOrder = Folder::SortOrder::kind;
    Defaults::set(Defaults::Keys::folders(), folders, otherProcess);
    auto *sortOrder = window->findChild<QComboBox *>(QStringLiteral("sortOrder"));
    EXPECT_TRUE(processEventsUntil([&] { return sortOrder->currentText() == QStringLiteral("Kind"); }));

    // One main item for all folders: the tabs are rebuilt, no style row and no shortcut tab.
    Defaults::set(Defaults::Keys::showFoldersInMenu(), true);
    m_window = window;
    EXPECT_TRUE(processEventsUntil([&] { return tabs()->count() == 2; }));
    EXPECT_EQ(tabTitles(), (QStringList{QStringLiteral("General"), QStringLiteral("Menu")}));
    EXPECT_EQ(window->findChildren<QRadioButton *>().size(), 3) << "only the three file icon sizes are left";

    // The folder removed by another process: its window closes and tells its askers once.
    Defaults::set(Defaults::Keys::folders(), std::vector<Folder>{folders[1]}, otherProcess);
    EXPECT_TRUE(processEventsUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(closes, 1);

    // Dropping the last handle closes the other window without calling back.
    QPointer<QWidget> secondWindow = visibleWindowNamed(QStringLiteral("FolderConfigureWindow"));
    ASSERT_TRUE(secondWindow);
    secondHandle.reset();
    EXPECT_TRUE(processEventsUntil([&] { return !secondWindow || !secondWindow->isVisible(); }));
}

TEST_F(FolderConfigureScreenTest, TheIconRowsStoreTheFolderAndTheColourRowOnlyShowsForATintableIcon) {
    const Folder folder = addFolder(QStringLiteral("Photos"));
    const auto handle = open(folder);
    ASSERT_TRUE(m_window);
    auto *icon = m_window->findChild<MenuBarItemIconSetting *>();
    auto *colors = m_window->findChild<ReusableMenuBarItemColorSetting *>();
    ASSERT_TRUE(icon && colors);
    EXPECT_TRUE(colors->isVisibleTo(m_window)) << "a symbol takes a colour";

    Folder expected = folder;
    icon->templateToggle()->click();
    icon->kindButton(MenuBarItemIcon::Kind::custom)->click();
    expected.iconType = MenuBarItemIcon::Kind::custom;
    expected.isUserSuppliedIconTemplate = false;
    ASSERT_TRUE(isStoredAs(expected));
    EXPECT_TRUE(processEventsUntil([&] { return !colors->isVisibleTo(m_window); }))
        << "a picture drawn in its own colours has nothing to tint";
    icon->templateToggle()->click();
    expected.isUserSuppliedIconTemplate = true;
    ASSERT_TRUE(isStoredAs(expected));
    EXPECT_TRUE(processEventsUntil([&] { return colors->isVisibleTo(m_window); }));

    colors->choosePaletteColor(ReusableMenuBarItemColorSetting::paletteColors()[1]);
    EXPECT_TRUE(processEventsUntil([&] {
        const Json stored = storedJson(folder.id);
        return stored.contains("lightColor") && stored.contains("darkColor");
    })) << "a palette colour is stored for both looks";
}

} // namespace
} // namespace kestrova
