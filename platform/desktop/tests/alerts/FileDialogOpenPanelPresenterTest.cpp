#include "platform/desktop/alerts/FileDialogOpenPanelPresenter.h"
#include "platform/alerts/Alert.h"
#include "platform/testing/EventLoop.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrova::platform;
using kestrova::platform::desktop::FileDialogOpenPanelPresenter;

TEST(FileDialogOpenPanelPresenterTest, DialogFollowsThePanel) {
    QTemporaryDir folder;
    OpenPanel panel;
    panel.message = QStringLiteral("Choose the folder to show");
    panel.prompt = QStringLiteral("Allow");
    panel.directoryUrl = QUrl::fromLocalFile(folder.path());
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.accessoryText = QStringLiteral("Kestrova needs access to this folder.");

    const auto dialog = FileDialogOpenPanelPresenter::makeFileDialog(panel);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_TRUE(dialog->testOption(QFileDialog::ReadOnly)); // no new folders
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QStringLiteral("Allow"));
    EXPECT_EQ(dialog->windowTitle(), panel.message);
    const auto *accessory = dialog->findChild<QLabel *>(QStringLiteral("accessoryText"));
    ASSERT_NE(accessory, nullptr);
    EXPECT_EQ(accessory->text(), panel.accessoryText);

    OpenPanel files;
    files.allowsMultipleSelection = true;
    files.canCreateDirectories = true;
    const auto filesDialog = FileDialogOpenPanelPresenter::makeFileDialog(files);
    EXPECT_EQ(filesDialog->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_FALSE(filesDialog->testOption(QFileDialog::ReadOnly));
    // No starting folder: home, not wherever the process happened to be started.
    EXPECT_EQ(QDir(filesDialog->directory()).canonicalPath(), QDir(QDir::homePath()).canonicalPath());
}

TEST(FileDialogOpenPanelPresenterTest, ShouldEnableGreysOutRejectedItems) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("allowed")));
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("refused")));
    OpenPanel panel;
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.directoryUrl = QUrl::fromLocalFile(folder.path());
    panel.shouldEnable = [](const QUrl &url) { return !url.path().endsWith(QStringLiteral("/refused")); };

    const auto dialog = FileDialogOpenPanelPresenter::makeFileDialog(panel);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    auto *proxy = dialog->proxyModel();
    ASSERT_NE(proxy, nullptr);
    auto *files = qobject_cast<QFileSystemModel *>(proxy->sourceModel());
    ASSERT_NE(files, nullptr);

    const QModelIndex allowed =
        proxy->mapFromSource(files->index(folder.filePath(QStringLiteral("allowed"))));
    const QModelIndex refused =
        proxy->mapFromSource(files->index(folder.filePath(QStringLiteral("refused"))));
    ASSERT_TRUE(allowed.isValid());
    ASSERT_TRUE(refused.isValid());
    EXPECT_TRUE(proxy->flags(allowed) & Qt::ItemIsEnabled);
    EXPECT_FALSE(proxy->flags(refused) & Qt::ItemIsEnabled);
    EXPECT_FALSE(proxy->flags(refused) & Qt::ItemIsSelectable);
}

TEST(FileDialogOpenPanelPresenterTest, RunModalAnswersTheChosenFolderOrCancel) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("chosen")));
    const QString chosen = folder.filePath(QStringLiteral("chosen"));
    OpenPanel panel;
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.directoryUrl = QUrl::fromLocalFile(folder.path());

    const auto whenDialogShows = [](std::function<void(QFileDialog &)> act) {
        QTimer::singleShot(0, qApp, [act = std::move(act)] {
            ASSERT_TRUE(kestrova::testing::processEventsUntil(
                [] { return qobject_cast<QFileDialog *>(QApplication::activeModalWidget()) != nullptr; }));
            act(*qobject_cast<QFileDialog *>(QApplication::activeModalWidget()));
        });
    };

    whenDialogShows([&](QFileDialog &dialog) {
        dialog.selectFile(chosen);
        static_cast<QDialog &>(dialog).accept();
    });
    FileDialogOpenPanelPresenter presenter;
    ASSERT_EQ(presenter.runModal(panel, nullptr), ModalResponse::ok);
    ASSERT_EQ(panel.urls.size(), 1U);
    EXPECT_EQ(QDir(panel.urls.front().toLocalFile()).canonicalPath(), QDir(chosen).canonicalPath());

    whenDialogShows([](QFileDialog &dialog) { dialog.reject(); });
    EXPECT_EQ(presenter.runModal(panel, nullptr), ModalResponse::cancel);
    EXPECT_TRUE(panel.urls.empty());
}
