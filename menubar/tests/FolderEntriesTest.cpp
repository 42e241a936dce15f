// A folder's entries walked the way a person does: the menu on screen, keys pressed on it, the clipboard
// read back, the Trash and the access times checked on disk.
#include "FolderMenuTesting_p.h"

#include "menubar/FileActions.h"
#include "menubar/FileInfoText.h"
#include "menubar/FolderContents.h"
#include "menubar/FolderContentsMenu.h"
#include "menubar/views/FileInfoViews.h"
#include "menubar/views/PreviewScreen.h"

#include "foundation/files/FileUrl.h"
#include "platform/menus/Menu.h"
#include "platform/workspace/Pasteboard.h"
#include "platform/workspace/Workspace.h"
#include "platform/desktop/workspace/ClipboardPasteboard.h"
#include "platform/desktop/workspace/DesktopWorkspace.h"
#include "platform/desktop/menus/MenuPresenter.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/ScriptedPresenters.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/views/HostingView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWidgetAction>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace kestrova::testing {
namespace {

constexpr time_t kDay = 24 * 60 * 60;

class FolderEntriesTest : public FolderMenuFixture {
protected:
    void SetUp() override {
        FolderMenuFixture::SetUp();
        installFileActions();
        platform::Workspace::setShared(std::make_shared<platform::desktop::DesktopWorkspace>());
        platform::Pasteboard::setGeneral(std::make_shared<platform::desktop::ClipboardPasteboard>());
        presenter.setModifierSource([] { return Qt::KeyboardModifiers(); });
    }
    void TearDown() override {
        presenter.close();
        platform::Workspace::setShared(nullptr);
        platform::Pasteboard::setGeneral(nullptr);
        FolderListingFaults::setShared({});
        FolderMenuFixture::TearDown();
    }

    QMenu *showFolderMenu() {
        m_menu = KvMenu::create();
        folderContentsMenu(url(), m_menu.get(), controller);
        waitForRows(*m_menu);
        return show(m_menu);
    }
    QMenu *show(const std::shared_ptr<platform::Menu> &menu) {
        QMenu *shown = presenter.popup(menu, QPoint(20, 20));
        EXPECT_TRUE(processEventsUntil([shown] { return shown->isVisible(); }));
        return shown;
    }
    static QStringList texts(QMenu *menu) {
        QStringList texts;
        for (QAction *action : menu->actions())
            if (action->isVisible() && !action->isSeparator())
                texts << action->text();
        return texts;
    }
    static QAction *action(QMenu *menu, const QString &text) {
        for (QAction *candidate : menu->actions())
            if (candidate->isVisible() && candidate->text() == text)
                return candidate;
        ADD_FAILURE() << "no row " << text.toStdString() << " in " << texts(menu).join(", ").toStdString();
        return nullptr;
    }
    // Moves to the row and opens its submenu with the Right arrow key.
    static QMenu *openSubmenu(QMenu *menu, const QString &text) {
        QAction *row = action(menu, text);
        if (!row || !row->menu())
            return nullptr;
        menu->setActiveAction(row);
        QTest::keyClick(menu, Qt::Key_Right);
        QMenu *submenu = row->menu();
        EXPECT_TRUE(processEventsUntil([submenu] { return submenu->isVisible(); })) << text.toStdString();
        // A subfolder's rows come once it is listed.
        EXPECT_TRUE(processEventsUntil([submenu] {
            return !texts(submenu).contains(QStringLiteral("Loading…"));
        })) << text.toStdString();
        return submenu;
    }
    // Moves to the row and chooses it with Return; its action runs once the menus have closed.
    void choose(QMenu *menu, const QString &text) {
        QAction *row = action(menu, text);
        ASSERT_NE(row, nullptr);
        menu->setActiveAction(row);
        QTest::keyClick(menu, Qt::Key_Return);
        ASSERT_TRUE(processEventsUntil([this] { return !presenter.isOpen(); }));
    }
    // A folder with a subfolder "share" (holding "inside.txt") and a file "notes.txt"; the entries chosen
    // are recorded instead of opened.
    const std::vector<QUrl> &makeShareAndRecordOpenings() {
        makeFolder(QStringLiteral("share"));
        makeFile(QStringLiteral("share/inside.txt"));
        makeFile(QStringLiteral("notes.txt"));
        FolderMenuHooks hooks = FolderMenuHooks::shared();
        hooks.openEntry = [this](const QUrl &entry, bool, bool) { m_opened.push_back(entry); };
        FolderMenuHooks::setShared(hooks);
        return m_opened;
    }
    // Shows the folder menu again, opens the row's submenu and chooses "Copy Path" with Alt held.
    void copyPathOf(const QString &row) {
        QMenu *submenu = openSubmenu(show(m_menu), row);
        ASSERT_NE(submenu, nullptr);
        hold(submenu, Qt::Key_Alt);
        choose(submenu, QStringLiteral("Copy Path"));
    }
    // Holds a modifier key on the open menu, as the keyboard would.
    static void hold(QMenu *menu, Qt::Key key) {
        QTest::keyPress(menu, key);
        QCoreApplication::processEvents();
    }
    static const QMimeData *clipboard() { return QGuiApplication::clipboard()->mimeData(); }

    // The first hosted view of type T among the rows of an open menu.
    template <typename T> static T *hostedView(QMenu *menu) {
        for (QAction *row : menu->actions()) {
            auto *widgetAction = qobject_cast<QWidgetAction *>(row);
            auto *view = widgetAction ? qobject_cast<HostingView *>(widgetAction->defaultWidget()) : nullptr;
            if (T *content = view ? qobject_cast<T *>(view->content()) : nullptr)
                return content;
        }
        return nullptr;
    }
    static time_t accessTime(const QByteArray &item) {
        struct stat status {};
        EXPECT_EQ(::stat(item.constData(), &status), 0);
        return status.st_atime;
    }
    // Opened three days ago, changed one day ago: with "relatime" an ordinary read would move the access
    // time to now.
    static time_t ageAccess(const QByteArray &item) {
        const time_t now = std::time(nullptr);
        const timespec times[2] = {{now - 3 * kDay, 0}, {now - kDay, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, item.constData(), times, 0), 0);
        return now - 3 * kDay;
    }

    platform::desktop::MenuPresenter presenter;
    std::vector<QUrl> m_opened;
    ScopedScriptedPresenters presenters;
    std::shared_ptr<platform::Menu> m_menu;
};

TEST_F(FolderEntriesTest, LinksShowTheirOwnNamesAndTheirSubmenuActsOnTheLink) {
    QTemporaryDir elsewhere;
    const QByteArray target = QFile::encodeName(elsewhere.filePath(QStringLiteral("target.txt")));
    makeFileAt(target, 0, "the original");
    const QByteArray first = QFile::encodeName(path(QStringLiteral("first.txt")));
    const QByteArray second = QFile::encodeName(path(QStringLiteral("second.txt")));
    for (const QByteArray &link : {first, second})
        ASSERT_EQ(::symlink(target.constData(), link.constData()), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(path(QStringLiteral("zeros"))).constData()), 0);

    QMenu *shown = showFolderMenu();
    EXPECT_EQ(texts(shown), (QStringList{"first.txt", "second.txt", "zeros"}));

    // "Copy" puts the link on the clipboard, not the file it points to.
    choose(openSubmenu(shown, QStringLiteral("first.txt")), QStringLiteral("Copy"));
    const QByteArray linkUri = url::fromLocalPath(first).toEncoded();
    ASSERT_TRUE(processEventsUntil([&] {
        return clipboard() && clipboard()->data(QStringLiteral("text/uri-list")) == linkUri + "\r\n";
    }));
    EXPECT_EQ(clipboard()->data(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + linkUri);

    // With Alt held, "Copy Path" copies the link's path.
    copyPathOf(QStringLiteral("first.txt"));
    ASSERT_TRUE(
        processEventsUntil([&] { return clipboard() && clipboard()->text() == QFile::decodeName(first); }));

    // "Move to Trash" trashes the link; the original stays where it was.
    shown = show(m_menu);
    choose(openSubmenu(shown, QStringLiteral("first.txt")), QStringLiteral("Move to Trash"));
    struct stat status {};
    ASSERT_TRUE(processEventsUntil([&] { return ::lstat(first.constData(), &status) != 0; }));
    EXPECT_TRUE(presenters.alerts().shownAlerts().empty());
    QFile original(QFile::decodeName(target));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), QByteArray("the original"));
    const QString trash = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/Trash");
    const QFileInfo trashed(trash + QStringLiteral("/files/first.txt"));
    EXPECT_TRUE(trashed.isSymLink());
    EXPECT_EQ(trashed.symLinkTarget(), QFile::decodeName(target));
    EXPECT_TRUE(QFile::exists(trash + QStringLiteral("/info/first.txt.trashinfo")));
    EXPECT_EQ(::lstat(second.constData(), &status), 0);
}

TEST_F(FolderEntriesTest, CopyPathGivesThePathAsItIsOnDisk) {
    const QByteArray invalid = QFile::encodeName(m_directory.path()) + "/bad\xff\xfe.txt";
    makeFileAt(invalid);
    makeFile(QStringLiteral("Grüße & Co.txt"));
    makeFolder(QStringLiteral("sub dir"));
    makeFile(QStringLiteral("sub dir/inside"));

    // A name that is not UTF-8: its exact bytes, which no text form could carry.
    showFolderMenu();
    presenter.close();
    copyPathOf(QStringLiteral("bad\uFFFD\uFFFD.txt"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return clipboard() && clipboard()->data(QStringLiteral("text/plain")) == invalid; }));
    const auto read = platform::Pasteboard::general().pasteboardItems();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read.front().data(QStringLiteral("text/plain")), invalid);

    copyPathOf(QStringLiteral("Grüße && Co.txt"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return clipboard() && clipboard()->text() == path(QStringLiteral("Grüße & Co.txt")); }));

    // A subfolder's header: no trailing slash in the path nor in the URI list, which is percent-encoded.
    copyPathOf(QStringLiteral("sub dir"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return clipboard() && clipboard()->text() == path(QStringLiteral("sub dir")); }));
    EXPECT_EQ(clipboard()->data(QStringLiteral("text/uri-list")),
              QUrl::fromLocalFile(path(QStringLiteral("sub dir"))).toEncoded() + "\r\n");
    EXPECT_TRUE(clipboard()->data(QStringLiteral("text/uri-list")).endsWith("/sub%20dir\r\n"));

    // The folder's own "Copy Path", shown with Ctrl held.
    auto folderMenu = KvMenu::create();
    prepareListing();
    controller->buildMenu(*folderMenu);
    QMenu *shown = show(folderMenu);
    hold(shown, Qt::Key_Control);
    choose(shown, QStringLiteral("Copy Path"));
    ASSERT_TRUE(processEventsUntil([&] { return clipboard() && clipboard()->text() == m_directory.path(); }));
    EXPECT_EQ(clipboard()->data(QStringLiteral("text/uri-list")),
              QUrl::fromLocalFile(m_directory.path()).toEncoded() + "\r\n");
    // The temporary folder cannot remove a name that is not valid UTF-8.
    EXPECT_EQ(::unlink(invalid.constData()), 0);
}

TEST_F(FolderEntriesTest, ANameThatReadsBackwardsShowsItsTrueExtension) {
    // Shown as "invoiceexe.png" by a plain text layout, while it is an executable.
    const QString spoofed = QStringLiteral("invoice\u202Egnp.exe");
    makeFile(spoofed);
    makeFile(QStringLiteral("notes \u05D0\u05D1.txt"));

    QMenu *shown = showFolderMenu();
    const QStringList rows = texts(shown);
    EXPECT_TRUE(rows.contains(QStringLiteral("invoice\u27E6RLO\u27E7gnp.exe")))
        << rows.join(", ").toStdString();
    // Text of either direction without controls is shown as it is.
    EXPECT_TRUE(rows.contains(QStringLiteral("notes \u05D0\u05D1.txt")));
    for (const QString &row : rows)
        EXPECT_FALSE(row.contains(QChar(0x202E))) << row.toStdString();
    presenter.close();

    // What is copied is the real name.
    copyPathOf(QStringLiteral("invoice\u27E6RLO\u27E7gnp.exe"));
    ASSERT_TRUE(processEventsUntil([&] { return clipboard() && clipboard()->text() == path(spoofed); }));
}

TEST_F(FolderEntriesTest, BrowsingLeavesAccessDatesAsTheyWere) {
    // Only meaningful where an ordinary read moves the access time.
    const QByteArray control = QFile::encodeName(path(QStringLiteral(".control")));
    makeFileAt(control);
    const time_t before = ageAccess(control);
    {
        QFile file(QFile::decodeName(control));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        file.read(1);
    }
    if (accessTime(control) == before)
        GTEST_SKIP() << "this file system does not record reads";

    const QByteArray photo = QFile::encodeName(path(QStringLiteral("photo.png")));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkMagenta);
    ASSERT_TRUE(picture.save(QFile::decodeName(photo), "PNG"));
    makeFolder(QStringLiteral("sub"));
    makeFile(QStringLiteral("sub/notes.txt"), 0, "some text to preview");
    const QByteArray sub = QFile::encodeName(path(QStringLiteral("sub")));
    const QByteArray notes = QFile::encodeName(path(QStringLiteral("sub/notes.txt")));
    const time_t aged = ageAccess(photo);
    ageAccess(sub);
    ageAccess(notes);
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);

    QMenu *shown = showFolderMenu();
    QMenu *submenu = openSubmenu(shown, QStringLiteral("photo.png"));
    ASSERT_NE(submenu, nullptr);
    FileInfo2 *dates = hostedView<FileInfo2>(submenu);
    FilePreviewRow *preview = hostedView<FilePreviewRow>(submenu);
    ASSERT_NE(dates, nullptr);
    ASSERT_NE(preview, nullptr);
    // Everything the submenu reads has been read: the facts, the pixel size and the picture.
    ASSERT_TRUE(processEventsUntil([&] { return qobject_cast<PreviewScreen *>(preview->currentView()); }));
    EXPECT_EQ(dates->valueText(QStringLiteral("Opened")),
              formattedFileDate(platform::Date::fromUnixTime(double(aged))));
    EXPECT_EQ(accessTime(photo), aged);

    // Listing a subfolder and previewing a text file in it leave theirs too.
    presenter.close();
    shown = show(m_menu);
    submenu = openSubmenu(shown, QStringLiteral("sub"));
    ASSERT_NE(submenu, nullptr);
    QMenu *notesMenu = openSubmenu(submenu, QStringLiteral("notes.txt"));
    ASSERT_NE(notesMenu, nullptr);
    preview = hostedView<FilePreviewRow>(notesMenu);
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return qobject_cast<PreviewScreen *>(preview->currentView()); }));
    EXPECT_EQ(accessTime(sub), aged);
    EXPECT_EQ(accessTime(notes), aged);
}

TEST_F(FolderEntriesTest, AnUnreadableFileExplainsItselfAndOffersNoPretendButtons) {
    makeFile(QStringLiteral("secret.txt"));
    makeFolder(QStringLiteral("locked"));
    makeFile(QStringLiteral("locked/inside.txt"));
    // A link to a file behind the folder that cannot be entered.
    ASSERT_TRUE(QFile::link(path(QStringLiteral("locked/inside.txt")), path(QStringLiteral("into locked"))));
    FolderListingFaults::setShared({
        .openDirectory =
            [](const QByteArray &directory) { return directory.endsWith("/locked") ? EACCES : 0; },
        .statEntry = [](const QByteArray &entry) { return entry.contains("/locked/") ? EACCES : 0; },
        .isUnreadable = [](const QByteArray &entry) { return entry.endsWith("/secret.txt"); },
    });

    QMenu *shown = showFolderMenu();
    const QStringList file = texts(openSubmenu(shown, QStringLiteral("secret.txt")));
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(file.front(), QStringLiteral("Missing Access to This File"));
    presenter.close();
    shown = show(m_menu);
    const QStringList link = texts(openSubmenu(shown, QStringLiteral("into locked")));
    ASSERT_FALSE(link.isEmpty());
    EXPECT_EQ(link.front(), QStringLiteral("Missing Access to This File"));
    presenter.close();
    shown = show(m_menu);
    const QStringList folderHelp = texts(openSubmenu(shown, QStringLiteral("locked")));
    ASSERT_FALSE(folderHelp.isEmpty());
    EXPECT_EQ(folderHelp.front(), QStringLiteral("Missing Access to This Folder"));
    for (const QStringList &help : {file, folderHelp}) {
        const QString all = help.join(QLatin1Char('\n'));
        EXPECT_TRUE(all.contains(QStringLiteral("Owned by root (group root), permissions")))
            << all.toStdString();
        for (const char *pretend : {"Grant Access", "System Settings", "Request", "Click the"})
            EXPECT_FALSE(all.contains(QString::fromLatin1(pretend))) << pretend;
        EXPECT_EQ(help.back(), QStringLiteral("Show Properties in File Manager"));
    }

    // Nor does the folder's menu, whatever key is held.
    presenter.close();
    auto folderMenu = KvMenu::create();
    prepareListing();
    controller->buildMenu(*folderMenu);
    shown = show(folderMenu);
    hold(shown, Qt::Key_Control);
    for (const QString &text : texts(shown))
        EXPECT_FALSE(text.contains(QStringLiteral("Permission"))) << text.toStdString();
    EXPECT_TRUE(texts(shown).contains(QStringLiteral("Copy Path")));
}

TEST_F(FolderEntriesTest, AFolderOnAStalledMountExplainsItselfAndTheMenuStaysUsable) {
    const std::vector<QUrl> &opened = makeShareAndRecordOpenings();
    ScopedListingTimeLimit limit(std::chrono::milliseconds(300));
    StalledDirectories stalled("/share");

    QMenu *shown = showFolderMenu();
    QMenu *submenu = openSubmenu(shown, QStringLiteral("share"));
    ASSERT_NE(submenu, nullptr);
    const QList<QAction *> rows = submenu->actions();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_FALSE(rows.front()->isEnabled());
    EXPECT_TRUE(rows.front()->text().startsWith(QStringLiteral("Could not read folder.\n\n")))
        << rows.front()->text().toStdString();
    EXPECT_TRUE(rows.front()->text().simplified().contains(QStringLiteral("did not answer within 1 second")));

    // The rest of the folder's menu still answers.
    QTest::keyClick(submenu, Qt::Key_Left);
    choose(shown, QStringLiteral("notes.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened.front(), url(QStringLiteral("notes.txt")));
}

// A subfolder on a stalled mount, hovered in the shown menu: it opens at once saying its rows are on their
// way, the keyboard closes it and the menu while the listing hangs, rows that come after the menu closed go
// nowhere, and rows that come while it is shown replace the placeholder.
TEST_F(FolderEntriesTest, AStalledSubfolderNeverHoldsTheMenuUpAndShowsItsRowsWhenTheyCome) {
    const std::vector<QUrl> &opened = makeShareAndRecordOpenings();
    const auto openShare = [this](QMenu *shown, StalledDirectories &stalled) {
        QAction *row = action(shown, QStringLiteral("share"));
        EXPECT_TRUE(row && row->menu());
        if (!row || !row->menu())
            return static_cast<QMenu *>(nullptr);
        shown->setActiveAction(row);
        QTest::keyClick(shown, Qt::Key_Right);
        QMenu *submenu = row->menu();
        EXPECT_TRUE(processEventsUntil([&] { return submenu->isVisible() && stalled.blockedCount() == 1; }));
        EXPECT_EQ(texts(submenu), QStringList{QStringLiteral("Loading…")});
        return submenu;
    };
    {
        StalledDirectories stalled("/share");
        QMenu *shown = showFolderMenu();
        QMenu *submenu = openShare(shown, stalled);
        ASSERT_NE(submenu, nullptr);
        QTest::keyClick(submenu, Qt::Key_Escape);
        ASSERT_TRUE(processEventsUntil([&] { return !submenu->isVisible(); }));
        EXPECT_TRUE(shown->isVisible());
        QTest::keyClick(shown, Qt::Key_Escape);
        ASSERT_TRUE(processEventsUntil([this] { return !presenter.isOpen(); }));
        EXPECT_EQ(FolderContentsLoader::runningCount(), 1);
    }
    ASSERT_TRUE(processEventsUntil([] { return FolderContentsLoader::runningCount() == 0; }));
    const auto share = std::find_if(m_menu->items().begin(), m_menu->items().end(), [](const auto &item) {
        return item->title() == QStringLiteral("share");
    });
    ASSERT_NE(share, m_menu->items().end());
    const auto shareMenu = (*share)->submenu();
    EXPECT_TRUE(processEventsUntil([&] { return shareMenu->isEmpty() && !shareMenu->isAwaitingContents(); }))
        << qPrintable(shareMenu->dump());
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    EXPECT_TRUE(shareMenu->isEmpty()) << qPrintable(shareMenu->dump());

    StalledDirectories slow("/share");
    QMenu *shown = show(m_menu);
    QMenu *submenu = openShare(shown, slow);
    ASSERT_NE(submenu, nullptr);
    slow.release();
    ASSERT_TRUE(processEventsUntil([&] { return texts(submenu).contains(QStringLiteral("inside.txt")); }))
        << texts(submenu).join(", ").toStdString();
    EXPECT_FALSE(texts(submenu).contains(QStringLiteral("Loading…")));
    EXPECT_TRUE(submenu->isVisible());
    EXPECT_TRUE(submenu->screen()->availableGeometry().contains(submenu->geometry()));
    choose(submenu, QStringLiteral("inside.txt"));
    ASSERT_TRUE(processEventsUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened.front(), url(QStringLiteral("share/inside.txt")));
}

// A large folder's rows are made as they come on screen: one far down, reached by typing, acts for its own
// entry, and a subfolder there lists its own rows.
TEST_F(FolderEntriesTest, RowsFarDownInALargeFolderActForTheirOwnEntries) {
    for (int index = 0; index < 1200; ++index)
        makeFile(QStringLiteral("entry %1.txt").arg(index, 5, 10, QLatin1Char('0')));
    makeFolder(QStringLiteral("zz inside"));
    for (int index = 0; index < 80; ++index)
        makeFile(QStringLiteral("zz inside/part %1.txt").arg(index, 5, 10, QLatin1Char('0')));
    const auto activeText = [](QMenu *menu) {
        return menu->activeAction() ? menu->activeAction()->text() : QString();
    };

    QMenu *shown = showFolderMenu();
    QTest::keyClicks(shown, QStringLiteral("entry 01150"));
    ASSERT_EQ(activeText(shown), QStringLiteral("entry 01150.txt"));
    QTest::keyClick(shown, Qt::Key_Right);
    QMenu *submenu = shown->activeAction()->menu();
    ASSERT_NE(submenu, nullptr);
    ASSERT_TRUE(processEventsUntil([submenu] { return submenu->isVisible(); }));
    hold(submenu, Qt::Key_Alt);
    choose(submenu, QStringLiteral("Copy Path"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return clipboard() && clipboard()->text() == path(QStringLiteral("entry 01150.txt")); }));

    shown = show(m_menu);
    QTest::keyClicks(shown, QStringLiteral("zz"));
    ASSERT_EQ(activeText(shown), QStringLiteral("zz inside"));
    QTest::keyClick(shown, Qt::Key_Right);
    submenu = shown->activeAction()->menu();
    ASSERT_NE(submenu, nullptr);
    // Its rows may come once it is listed.
    ASSERT_TRUE(processEventsUntil([submenu] {
        return submenu->isVisible() && texts(submenu).contains(QStringLiteral("part 00000.txt"));
    }));
    QTest::keyClicks(submenu, QStringLiteral("part 00070"));
    EXPECT_EQ(activeText(submenu), QStringLiteral("part 00070.txt"));
}

// A long folder menu is as wide at every opening: the width comes from what the menu lists, not from
// which of its rows happened to be laid out to measure it.
TEST_F(FolderEntriesTest, ALongFolderMenuHasOneWidthAtEveryOpening) {
    Defaults::set(Defaults::Keys::showIconsInMenu(), true);
    for (int index = 0; index < 300; ++index) {
        makeFile(QStringLiteral("backup gamma %1.png").arg(index, 6, 10, QLatin1Char('0')));
        if (index % 10 == 3)
            makeFolder(QStringLiteral("Backup set %1").arg(index));
    }
    std::vector<int> widths;
    for (int opening = 0; opening < 4; ++opening) {
        auto folderMenu = KvMenu::create();
        folderMenu->menuNeedsUpdate();
        prepareListing();
        controller->buildMenu(*folderMenu);
        QMenu *shown = show(folderMenu);
        widths.push_back(shown->width());
        presenter.close();
        ASSERT_TRUE(processEventsUntil([this] { return !presenter.isOpen(); }));
    }
    for (const int width : widths)
        EXPECT_EQ(width, widths.front());
    presenter.setWindowedAbove(100000);
    auto folderMenu = KvMenu::create();
    prepareListing();
    controller->buildMenu(*folderMenu);
    QMenu *shown = show(folderMenu);
    EXPECT_EQ(shown->width(), widths.front()) << "as wide as a menu with an action per row";
}

} // namespace
} // namespace kestrova::testing
