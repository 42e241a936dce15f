#pragma once

#include "foundation/Error.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

// Choosing an application. Applications here are the desktop entries of the XDG registry (".desktop"
// files with Type=Application), not bundles. Main thread only.
namespace kestrova::AppPicker {

struct DesktopApplication {
    QString id;
    QString name;
    QString desktopFilePath;
    QString iconName;
};

// Every application the desktop shows in its menus, by name.
std::vector<DesktopApplication> installedApplications();

// The application the desktop file at `url` describes; none when it is no application entry.
std::optional<DesktopApplication> desktopApplication(const QUrl &url);

// Decides for an application panel which items are enabled and which choices are accepted. The running
// application's own desktop file is greyed out (an exact, case-sensitive match of its file name).
class OpenPanelDelegateHandler {
public:
    OpenPanelDelegateHandler();

    // The file name of this application's own desktop entry.
    QString filename;
    // The caller's further check of a chosen application; throws an `Error` to refuse it.
    std::function<void(const QUrl &)> validate;

    bool shouldEnableUrl(const QUrl &url) const;
    // None when `url` is an application that `validate` accepts; otherwise the error to show.
    std::optional<Error> validateUrl(const QUrl &url) const;
};

// The error for a chosen item that is no application.
Error notAnAppError();

// Shows an open panel in the user's applications folder, with `message` above its list; a choice that is
// no application (or that `validate` refuses) is shown as an error and the panel comes back. None when the
// user cancels.
QCoro::Task<std::optional<DesktopApplication>>
chooseApplication(QWidget *window, std::function<void(const QUrl &)> validate = {}, QString message = {});

} // namespace kestrova::AppPicker
