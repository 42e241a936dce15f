#pragma once

#include "foundation/errors/Error.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

// The kit's folder chooser ("Add Folder", asking for access to a folder): an open panel for folders, shown
// through the shared open-panel presenter, optionally checked for writing. Main thread only.
namespace kestrova::DirectoryPicker {

struct Options {
    bool allowsMultipleSelection = false;
    // With a window the panel is its sheet and errors are shown on it; without one both stand alone.
    QWidget *window = nullptr;
    // The confirming button's title; none gives "Choose".
    std::optional<QString> prompt = std::nullopt;
    std::optional<QString> message = std::nullopt;
    // The folder the panel starts in.
    std::optional<QUrl> directoryUrl = std::nullopt;
    bool canCreateDirectories = false;
    // Shown below the panel's list.
    std::optional<QString> accessoryText = std::nullopt;
    // Decides which items can be chosen; none enables everything.
    std::function<bool(const QUrl &)> shouldEnable = nullptr;
    // Checks every chosen folder for writing before returning it: a folder that fails is shown as an
    // error and the panel comes back with the same options, until the user picks folders that pass or
    // cancels.
    bool ensureWritable = false;
};

// The chosen folders in the panel's order; empty when the user cancels.
QCoro::Task<std::vector<QUrl>> chooseDirectories(Options options);

// The single-choice form: the chosen folder, or none when the user cancels.
QCoro::Task<std::optional<QUrl>> chooseDirectory(Options options);

// Decides for the panel which items are enabled.
class OpenPanelDelegateHandler {
public:
    std::function<bool(const QUrl &)> shouldEnable = nullptr;

    bool shouldEnableUrl(const QUrl &url) const { return !shouldEnable || shouldEnable(url); }
};

// Why `url` cannot be written to, or none when it can. A folder is probed by creating and removing a new,
// uniquely named file in it; any other path by creating it exclusively and removing it again. Nothing that
// already exists is written to or removed.
std::optional<Error> writabilityError(const QUrl &url);

// The error of a chosen folder that cannot be written to.
Error readOnlyDirectoryError();

} // namespace kestrova::DirectoryPicker
