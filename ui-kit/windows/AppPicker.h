#pragma once

#include "foundation/errors/Error.h"
#include "platform/workspace/ApplicationRegistry.h"

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

// Lets the user choose one of the installed applications (the shared application registry's, this one's own
// entry left out) in a searchable list, with `message` above it; a choice that `validate` refuses is shown
// as an error and the list comes back. None when the user cancels. With a window, the list is modal for it.
QCoro::Task<std::optional<platform::Application>>
chooseApplication(QWidget *window, std::function<void(const QUrl &)> validate = {}, QString message = {});

} // namespace kestrova::AppPicker
