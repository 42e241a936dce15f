#include "FolderMenuTesting_p.h"

#include "menubar/FileAccess.h"
#include "menubar/FileActions.h"
#include "menubar/FolderItemMenus.h"

#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "platform/input/KeyboardState.h"
#include "platform/menus/Menu.h"
#include "platform/testing/EventLoop.h"
#include "platform/testing/FakeApplicationRegistry.h"
#include "platform/testing/FakeKeyboardState.h"
#include "platform/testing/FakeSharingServices.h"
#include "platform/testing/InMemoryPasteboard.h"
#include "platform/testing/RecordingWorkspace.h"
#include "platform/testing/ScriptedPresenters.h"

#include <QFile>

namespace kestrova::testing {
namespace {

class FileActionsTest : public FolderMenuFixture {
protected:
    QUrl makeFile(const QString &name) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        return QUrl::fromLocalFile(path(name));
    }
    platform::MenuItem &item(platform::Menu &menu, const QString &title) {
        for (const auto &candidate : menu.items()) {
            if (candidate->title() == title)
                return *candidate;
        }
        ADD_FAILURE() << "no item " << title.toStdString();
        static platform::MenuItem none;
        return none;
    }

    ScopedRecordingWorkspace workspace;
    ScopedInMemoryPasteboard pasteboard;
    ScopedFakeKeyboardState keyboard;
    ScopedScriptedPresenters presenters;
};

TEST_F(FileActionsTest, SubmenuOrderAndOptionAlternates) {
    const QUrl file = makeFile(QStringLiteral("a b.txt"));
    auto menu = fileSubmenu(file, controller);
    EXPECT_EQ(menu->dump(), QStringLiteral("-----\n"
                                           "\"Show in File Manager\"\n"
                                           "-----\n"
                                           "\"Move to Trash\"\n"
                                           "-----\n"
                                           "\"Copy\"\n"
                                           "\"Copy Path\" [alternate Option]\n"
                                           "\"Share\" >\n"
                                           "  -----\n"
                                           "  \"Nothing to Share\" [disabled]\n"
                                           "-----\n"
                                           "<file preview>\n"
                                           "-----\n"
                                           "<file kind, size and dimensions>\n"
                                           "<empty view> [disabled]\n"
                                           "\"Copy Dimensions\" [hidden, alternate Option]\n"
                                           "-----\n"
                                           "<file dates>\n"
                                           "<empty view> [disabled]\n"
                                           "\"Show More Info\" [alternate Option]\n"))
        << menu->dump().toStdString();
    QStringList shownWithOption;
    for (const auto &shown : menu->displayedItems(platform::Modifier::option))
        shownWithOption << shown->title();
    EXPECT_TRUE(shownWithOption.contains(QStringLiteral("Copy Path")));
    EXPECT_FALSE(shownWithOption.contains(QStringLiteral("Copy")));
    EXPECT_TRUE(shownWithOption.contains(QStringLiteral("Show More Info")));
}

TEST_F(FileActionsTest, ActionsReachTheWorkspaceAndClipboard) {
    const QUrl file = makeFile(QStringLiteral("Grüße & 100%.txt"));
    auto menu = fileSubmenu(file, controller);
    auto &requests = workspace.workspace().requests;

    item(*menu, QStringLiteral("Show in File Manager")).performAction();
    item(*menu, QStringLiteral("Move to Trash")).performAction();
    item(*menu, QStringLiteral("Show More Info")).performAction();
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0], std::make_pair(QStringLiteral("reveal"), file));
    EXPECT_EQ(requests[1], std::make_pair(QStringLiteral("moveToTrash"), file));
    EXPECT_EQ(requests[2], std::make_pair(QStringLiteral("showProperties"), file));

    item(*menu, QStringLiteral("Copy")).performAction();
    auto copied = pasteboard.pasteboard().pasteboardItems();
    ASSERT_EQ(copied.size(), 1U);
    EXPECT_EQ(copied[0].data(QStringLiteral("text/uri-list")), file.toEncoded() + "\r\n");
    EXPECT_EQ(copied[0].data(QStringLiteral("x-special/gnome-copied-files")), "copy\n" + file.toEncoded());
    EXPECT_EQ(copied[0].string(QStringLiteral("org.nspasteboard.source")), KvApp::id());

    item(*menu, QStringLiteral("Copy Path")).performAction();
    copied = pasteboard.pasteboard().pasteboardItems();
    ASSERT_EQ(copied.size(), 1U);
    EXPECT_EQ(copied[0].string(QString::fromLatin1(platform::PasteboardType::string)),
              path(QStringLiteral("Grüße & 100%.txt")));
    EXPECT_FALSE(copied[0].hasType(QStringLiteral("text/uri-list")));
    EXPECT_EQ(copied[0].string(QStringLiteral("org.nspasteboard.source")), KvApp::id());
}

TEST_F(FileActionsTest, OpenRevealsOnlyWithExactlyOption) {
    const QUrl file = makeFile(QStringLiteral("f.txt"));
    auto &requests = workspace.workspace().requests;
    using namespace platform::ModifierFlag;
    const std::vector<std::pair<quint64, QString>> cases = {
        {0, QStringLiteral("open")},
        {option, QStringLiteral("reveal")},
        {option | capsLock | function | numericPad | 0x1234, QStringLiteral("reveal")},
        {option | shift, QStringLiteral("open")},
    };
    for (const auto &[flags, expected] : cases) {
        keyboard.keyboard().hold(flags);
        openFileEntry(file, false, true);
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().first, expected) << flags;
    }
    keyboard.keyboard().hold(0);

    // A symbolic link is shown, resolved, even without Option; a folder is opened.
    ASSERT_TRUE(QFile::link(path(QStringLiteral("f.txt")), path(QStringLiteral("link"))));
    openFileEntry(QUrl::fromLocalFile(path(QStringLiteral("link"))), false, true);
    EXPECT_EQ(requests.back(), std::make_pair(QStringLiteral("reveal"), file));
    openFileEntry(url(), true, true);
    EXPECT_EQ(requests.back().first, QStringLiteral("open"));

    // Unreadable entries only explain themselves.
    const auto before = requests.size();
    openFileEntry(file, false, false);
    EXPECT_EQ(requests.size(), before);
    ASSERT_EQ(presenters.alerts().shownAlerts().size(), 1U);
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText, QStringLiteral("Missing access"));
}

TEST_F(FileActionsTest, FailuresArePresentedAndNothingElseChanges) {
    const QUrl file = makeFile(QStringLiteral("gone.txt"));
    auto menu = fileSubmenu(file, controller);
    workspace.workspace().result =
        platform::WorkspaceResult::failed(QStringLiteral("“gone.txt” no longer exists."));
    item(*menu, QStringLiteral("Move to Trash")).performAction();
    ASSERT_TRUE(processEventsUntil([&] { return !presenters.alerts().shownAlerts().empty(); }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("“gone.txt” no longer exists."));
    EXPECT_TRUE(pasteboard.pasteboard().pasteboardItems().empty());
}

TEST_F(FileActionsTest, MissingAccessHelpSaysWhatBlocksAndHowToChangeIt) {
    // The tests run as the superuser, who may read anything: the help is asked for another user, 4242, who
    // is in the group 4343, and the items are given owners with chown.
    const FileAccess someone(4242, 4343, {});
    ASSERT_EQ(::chmod(QFile::encodeName(m_directory.path()).constData(), 0755), 0);
    const auto helpFor = [&](const QString &name) {
        platform::Menu menu;
        addMissingAccessHelp(menu, url(name), someone);
        return menu.dump();
    };
    const QByteArray secret = QFile::encodeName(path(QStringLiteral("secret.txt")));
    makeFileAt(secret);
    ASSERT_EQ(::chown(secret.constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(secret.constData(), 0600), 0);
    const QString others = helpFor(QStringLiteral("secret.txt"));
    const QString folderPath = m_directory.path();
    EXPECT_EQ(others,
              QStringLiteral("\"Missing Access to This File\" [disabled]\n"
                             "-----\n"
                             "\"Kestrova runs as the user 4242 and may not read \\nthis file. \" [disabled]\n"
                             "\"Owned by root (group root), permissions \\nrw-------. \" [disabled]\n"
                             "\"4242 is neither its owner nor in its group, so \\nthe permissions for "
                             "others apply, and they lack \\n“r”. Its owner or an administrator can add "
                             "it in \\nits Properties in the file manager, or in a \\nterminal: \" "
                             "[disabled]\n"
                             "\"sudo chmod o+r '%1/secret.txt'\" [disabled]\n"
                             "\"Show Properties in File Manager\"\n")
                  .arg(folderPath))
        << others.toStdString();

    // A folder on the way that does not let the user through is named, and so is the link's target.
    makeFolder(QStringLiteral("private"));
    makeFile(QStringLiteral("private/inner.txt"));
    const QByteArray privateFolder = QFile::encodeName(path(QStringLiteral("private")));
    ASSERT_EQ(::chown(privateFolder.constData(), 0, 4343), 0);
    ASSERT_EQ(::chmod(privateFolder.constData(), 0740), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("private/inner.txt")), path(QStringLiteral("link"))));
    EXPECT_EQ(
        helpFor(QStringLiteral("link")),
        QStringLiteral("\"Missing Access to This File\" [disabled]\n"
                       "-----\n"
                       "\"“link” is a symbolic link to \\n“%1/private/inner.txt”. \" [disabled]\n"
                       "\"Kestrova runs as the user 4242 and may not open \\nthe folder “private”, which "
                       "holds this file. \" [disabled]\n"
                       "\"Owned by root (group 4343), permissions \\nrwxr-----. \" [disabled]\n"
                       "\"4242 is in its group, so the group's permissions \\napply, and they lack “x”. "
                       "Its owner or an \\nadministrator can add it in its Properties in the \\nfile "
                       "manager, or in a terminal: \" [disabled]\n"
                       "\"sudo chmod g+x '%1/private'\" [disabled]\n"
                       "\"Show Properties in File Manager\"\n")
            .arg(folderPath));
    // The one button shows the blocking item's properties, where its permissions are changed.
    platform::Menu menu;
    addMissingAccessHelp(menu, url(QStringLiteral("link")), someone);
    ASSERT_TRUE(menu.items().back()->isEnabled());
    for (const auto &row : menu.items())
        EXPECT_EQ(row->isEnabled(), row == menu.items().back()) << row->title().toStdString();
    ASSERT_TRUE(menu.items().back()->performAction());
    ASSERT_FALSE(workspace.workspace().requests.empty());
    EXPECT_EQ(workspace.workspace().requests.back(),
              std::make_pair(QStringLiteral("showProperties"), url(QStringLiteral("private"))));

    // A folder of the user's own that the user locked.
    ASSERT_EQ(::chown(privateFolder.constData(), 4242, 4343), 0);
    ASSERT_EQ(::chmod(privateFolder.constData(), 0300), 0);
    const QString own = helpFor(QStringLiteral("private"));
    EXPECT_TRUE(own.startsWith(QStringLiteral("\"Missing Access to This Folder\" [disabled]\n")));
    EXPECT_TRUE(own.contains(QStringLiteral("may not open \\nthis folder.")));
    EXPECT_TRUE(own.contains(QStringLiteral("permissions \\n-wx------.")));
    EXPECT_TRUE(
        own.contains(QStringLiteral("4242 is its owner, so the owner's permissions \\napply, and they "
                                    "lack “r”. You can add it")));
    EXPECT_TRUE(own.contains(QStringLiteral("\"chmod u+r '%1/private'\"").arg(folderPath)));

    // Permissions that allow reading leave an access control list or a security policy to blame.
    ASSERT_EQ(::chmod(secret.constData(), 0644), 0);
    const QString policy = helpFor(QStringLiteral("secret.txt"));
    EXPECT_TRUE(
        policy.contains(QStringLiteral("\"Its permissions allow 4242 to read it, yet the \\nsystem "
                                       "refused: an access control list or a \\nsecurity policy forbids "
                                       "it. \" [disabled]\n\"Show Properties in File Manager\"\n")))
        << policy.toStdString();
    EXPECT_FALSE(policy.contains(QStringLiteral("chmod")));

    // The installed hook describes the running process, and says "file" or "folder".
    installFileActions();
    platform::Menu installed;
    FolderMenuHooks::shared().addMissingAccessItems(installed, url(QStringLiteral("secret.txt")));
    EXPECT_EQ(installed.items().front()->title(), QStringLiteral("Missing Access to This File"));
    platform::Menu folderHelp;
    FolderMenuHooks::shared().addMissingAccessItems(folderHelp, url());
    EXPECT_EQ(folderHelp.items().front()->title(), QStringLiteral("Missing Access to This Folder"));
    // The same help under its own name, for the controller's folder: in a new menu or in the one given.
    const auto named = missingAccessMenu(nullptr, controller);
    EXPECT_EQ(named->dump(), folderHelp.dump());
    const auto given = std::make_shared<platform::Menu>();
    EXPECT_EQ(missingAccessMenu(given, controller), given);
    EXPECT_EQ(given->dump(), folderHelp.dump());
    EXPECT_TRUE(FolderMenuHooks::shared().fileSubmenu);
    EXPECT_TRUE(FolderMenuHooks::shared().openEntry);
    EXPECT_TRUE(FolderMenuHooks::shared().showInfo);
}

TEST_F(FileActionsTest, OpenWithShareAndShowMoreInfoReachTheirServices) {
    ScopedFakeApplicationRegistry applications;
    ScopedFakeSharingServices sharing;
    const platform::Application editor{QStringLiteral("editor.desktop"),
                                       QStringLiteral("Editor"),
                                       QUrl::fromLocalFile(QStringLiteral("/apps/editor.desktop")),
                                       {}};
    const platform::Application viewer{QStringLiteral("viewer.desktop"),
                                       QStringLiteral("Viewer"),
                                       QUrl::fromLocalFile(QStringLiteral("/apps/viewer.desktop")),
                                       {}};
    applications.registry().applicationsForAnyItem = {editor, viewer};
    auto email = std::make_shared<RecordingSharingService>(QStringLiteral("Email"));
    sharing.services().services = {email};
    installFileActions();

    const QUrl file = makeFile(QStringLiteral("a b.txt"));
    auto menu = fileSubmenu(file, controller);
    auto &openWith = item(*menu, QStringLiteral("Open With"));
    ASSERT_TRUE(openWith.hasSubmenu());
    openWith.submenu()->menuNeedsUpdate();
    openWith.submenu()->menuWillOpen();
    EXPECT_EQ(openWith.submenu()->dump(),
              QStringLiteral("\"Editor\"\n-----\n\"Viewer\"\n-----\n\"Other…\"\n"));
    item(*openWith.submenu(), QStringLiteral("Viewer")).performAction();
    ASSERT_TRUE(processEventsUntil([&] { return !applications.registry().opened.empty(); }));
    EXPECT_EQ(applications.registry().opened[0], std::make_pair(url::localPath(file), viewer.url));

    auto &share = item(*menu, QStringLiteral("Share"));
    ASSERT_TRUE(share.hasSubmenu());
    item(*share.submenu(), QStringLiteral("Email")).performAction();
    ASSERT_EQ(email->performed.size(), 1U);
    EXPECT_EQ(email->performed[0], std::vector<QUrl>{file});

    // The subfolder header's hook lists a folder's applications without setting the first apart.
    platform::Menu header;
    FolderMenuHooks::shared().addOpenWithItem(header, url());
    ASSERT_EQ(header.numberOfItems(), 1U);
    header.items()[0]->submenu()->menuNeedsUpdate();
    header.items()[0]->submenu()->menuWillOpen();
    EXPECT_EQ(header.items()[0]->submenu()->dump(),
              QStringLiteral("\"Editor\"\n\"Viewer\"\n-----\n\"Other…\"\n"));

    // "Show More Info" and the header's "Get Info" show the properties; a failure is presented.
    FolderMenuHooks::shared().showInfo(url());
    EXPECT_EQ(workspace.workspace().requests.back(), std::make_pair(QStringLiteral("showProperties"), url()));
    workspace.workspace().result =
        platform::WorkspaceResult::failed(QStringLiteral("“a b.txt” no longer exists."));
    item(*menu, QStringLiteral("Show More Info")).performAction();
    EXPECT_EQ(workspace.workspace().requests.back(), std::make_pair(QStringLiteral("showProperties"), file));
    ASSERT_TRUE(processEventsUntil([&] { return !presenters.alerts().shownAlerts().empty(); }));
    EXPECT_EQ(presenters.alerts().shownAlerts()[0].messageText,
              QStringLiteral("“a b.txt” no longer exists."));
    EXPECT_TRUE(pasteboard.pasteboard().pasteboardItems().empty());
}

} // namespace
} // namespace kestrova::testing
