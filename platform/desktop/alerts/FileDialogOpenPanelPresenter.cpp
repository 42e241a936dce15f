#include "FileDialogOpenPanelPresenter.h"

#include "platform/alerts/Alert.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QWindow>

namespace kestrova::platform::desktop {
namespace {

// Greys out the items the panel's rule turns down; they stay visible so the user sees why.
class EnablingProxyModel final : public QSortFilterProxyModel {
public:
    EnablingProxyModel(std::function<bool(const QUrl &)> shouldEnable, QObject *parent)
        : QSortFilterProxyModel(parent)
        , m_shouldEnable(std::move(shouldEnable)) {}

    Qt::ItemFlags flags(const QModelIndex &index) const override {
        Qt::ItemFlags flags = QSortFilterProxyModel::flags(index);
        const QString path = data(index, QFileSystemModel::FilePathRole).toString();
        if (!path.isEmpty() && !m_shouldEnable(QUrl::fromLocalFile(path)))
            flags &= ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        return flags;
    }

private:
    std::function<bool(const QUrl &)> m_shouldEnable;
};

} // namespace

std::unique_ptr<QFileDialog> FileDialogOpenPanelPresenter::makeFileDialog(const OpenPanel &panel) {
    auto dialog = std::make_unique<QFileDialog>();
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (panel.canChooseDirectories && !panel.canChooseFiles) {
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog->setFileMode(panel.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                          : QFileDialog::ExistingFile);
    }
    if (!panel.canCreateDirectories)
        dialog->setOption(QFileDialog::ReadOnly, true);
    // Without a starting folder the dialog would open in the process's working directory, which for a
    // tray application started by the session means nothing to the user: start at home instead.
    dialog->setDirectory(panel.directoryUrl.isLocalFile() ? panel.directoryUrl.toLocalFile()
                                                          : QDir::homePath());
    if (!panel.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, panel.prompt);
    dialog->setWindowTitle(panel.message.isEmpty() ? panel.title : panel.message);

    if (panel.shouldEnable || !panel.accessoryText.isEmpty())
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    if (panel.shouldEnable)
        dialog->setProxyModel(new EnablingProxyModel(panel.shouldEnable, dialog.get()));
    if (!panel.accessoryText.isEmpty()) {
        if (auto *grid = qobject_cast<QGridLayout *>(dialog->layout())) {
            auto *label = new QLabel(panel.accessoryText, dialog.get());
            label->setObjectName(QStringLiteral("accessoryText"));
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    return dialog;
}

int FileDialogOpenPanelPresenter::runModal(OpenPanel &panel, QWindow *window) {
    const auto dialog = makeFileDialog(panel);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    if (window) {
        dialog->winId();
        dialog->windowHandle()->setTransientParent(window);
    }
    panel.urls.clear();
    if (dialog->exec() != QDialog::Accepted)
        return ModalResponse::cancel;
    const QList<QUrl> chosen = dialog->selectedUrls();
    panel.urls.assign(chosen.begin(), chosen.end());
    return panel.urls.empty() ? ModalResponse::cancel : ModalResponse::ok;
}

} // namespace kestrova::platform::desktop
