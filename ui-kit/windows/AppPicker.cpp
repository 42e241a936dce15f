#include "AppPicker.h"

#include "AppChooserDialog.h"

#include "platform/desktop/workspace/GioFiles_p.h"
#include "foundation/errors/ErrorPresentation.h"

#include "platform/alerts/Alert.h"
#include "platform/defaults/UserDefaults.h"

#include <QFile>
#include <QFileInfo>
#include <QCoro/QCoroSignal>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace kestrova::AppPicker {

namespace {

// The application-error code of the kit.
constexpr qint64 kAppErrorCode = 1;

DesktopApplication applicationOf(const platform::desktop::gio::ApplicationRecord &record) {
    return {QString::fromStdString(record.id), QString::fromStdString(record.name),
            QString::fromStdString(record.filePath), QString::fromStdString(record.iconName)};
}

} // namespace

std::optional<DesktopApplication> desktopApplication(const QUrl &url) {
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    const auto record = platform::desktop::gio::applicationAt(QFile::encodeName(path).toStdString());
    if (!record)
        return std::nullopt;
    return applicationOf(*record);
}

Error notAnAppError() {
    return Error(QString::fromLatin1(platform::UserDefaults::kApplicationIdentifier), kAppErrorCode,
                 {{ErrorKey::localizedDescription, QStringLiteral("The selected item is not an app.")},
                  {ErrorKey::localizedRecoverySuggestion, QStringLiteral("Please select an app.")}});
}

OpenPanelDelegateHandler::OpenPanelDelegateHandler()
    : filename(QString::fromLatin1(platform::UserDefaults::kApplicationIdentifier) +
               QStringLiteral(".desktop")) {}

bool OpenPanelDelegateHandler::shouldEnableUrl(const QUrl &url) const {
    return url.fileName() != filename;
}

std::optional<Error> OpenPanelDelegateHandler::validateUrl(const QUrl &url) const {
    if (!desktopApplication(url))
        return notAnAppError();
    if (!validate)
        return std::nullopt;
    try {
        validate(url);
    } catch (const Error &error) {
        return error;
    }
    return std::nullopt;
}

QCoro::Task<std::optional<platform::Application>>
chooseApplication(QWidget *window, std::function<void(const QUrl &)> validate, QString message) {
    const QPointer<QWidget> parent = window;
    OpenPanelDelegateHandler handler;
    handler.validate = std::move(validate);
    std::vector<platform::Application> applications;
    for (auto &application : platform::ApplicationRegistry::shared().installedApplications()) {
        if (handler.shouldEnableUrl(application.url))
            applications.push_back(std::move(application));
    }
    while (true) {
        auto dialog =
            std::make_unique<AppChooserDialog>(applications, message, parent ? parent->window() : nullptr);
        if (parent) {
            dialog->open();
        } else {
            // A tray application has no window of its own to be modal for.
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->show();
            dialog->raise();
            dialog->activateWindow();
        }
        co_await qCoro(dialog.get(), &QDialog::finished);
        if (!dialog->chosenApplication())
            co_return std::nullopt;
        platform::Application chosen = *dialog->chosenApplication();
        dialog.reset();
        std::optional<Error> refusal;
        if (handler.validate) {
            try {
                handler.validate(chosen.url);
            } catch (const Error &error) {
                refusal = error;
            }
        }
        if (!refusal)
            co_return chosen;
        co_await presentAsync(*refusal, parent ? parent->window()->windowHandle() : nullptr);
    }
}

} // namespace kestrova::AppPicker
