#pragma once

#include "platform/observation/Binding.h"
#include "store/Folder.h"

#include <QWidget>

#include <functional>
#include <memory>

class QTabWidget;

namespace kestrova {

// One folder's configuration: how its status item looks ("Menu Bar" / "General"), how its menu lists the
// folder ("Menu") and its shortcut ("Shortcuts", only while each folder has its own status item). Every
// control writes through `folder` the moment it changes, which stores the whole folder list; there is no
// Apply. The screen follows the stored folder (a change made elsewhere shows at once) and is rebuilt when
// "showFoldersInMenu" changes. Main thread only.
class FolderConfigureScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTabWidth = 340;

    explicit FolderConfigureScreen(platform::Binding<Folder> folder, QWidget *parent = nullptr);
    ~FolderConfigureScreen() override;

    QTabWidget *tabs() const { return m_tabs; }
    // The folder's title as the window shows it.
    QString windowTitleText() const;

Q_SIGNALS:
    // The folder is no longer stored (removed here, in a menu or by another process).
    void folderRemoved();
    void titleChanged(const QString &title);

private:
    struct Rows;

    void rebuild();
    void storedFoldersChanged();
    void render(const Folder &folder);
    // Edits the stored folder: `change` is applied to the folder as stored now and the result written.
    void edit(const std::function<void(Folder &)> &change);

    platform::Binding<Folder> m_folder;
    QUuid m_id;
    QTabWidget *m_tabs = nullptr;
    std::unique_ptr<Rows> m_rows;
};

// The hook the status items call to show a folder's configuration window: one window per folder, brought to
// the front when asked for again, whoever asks. The window stays while any returned object lives and closes
// with the last; closed by the user (Escape, Ctrl+W, its close button) or because its folder was removed,
// it calls every `didClose` it was given.
std::shared_ptr<QObject> showFolderConfigureWindow(platform::Binding<Folder> folder,
                                                   std::function<void()> didClose);

} // namespace kestrova
