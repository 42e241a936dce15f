#include "AppPicker.h"

#include "platform/desktop/GioFiles_p.h"
#include "foundation/ErrorPresentation.h"

#include "platform/Alert.h"
#include "platform/OpenPanel.h"
#include "platform/UserDefaults.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace kestrova::AppPicker {

namespace {

// The application-error code of the kit.
constexpr qint64 kAppErrorCode = 1;

DesktopApplication applicationOf(const platform::desktop::gio::ApplicationRecord &record) {
    return {QString::fromStdString(record.id), QString::fromStdString(record.name),
            QString::fromStdString(record.filePath), QString::fromStdString(record.iconName)};
}

QUrl applicationsFolder() {
    // The user's own folder first; the system's when the user has none.
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        if (QFileInfo(folder).isDir())
            return QUrl::fromLocalFile(folder);
    }
    return QUrl::fromLocalFile(QStringLiteral("/usr/share/applications"));
}

} // namespace

std::vector<DesktopApplication> installedApplications() {
    std::vector<DesktopApplication> applications;
    for (const auto &record : platform::desktop::gio::shownApplications())
        applications.push_back(applicationOf(record));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(applications.begin(), applications.end(), [&](const auto &left, const auto &right) {
        return collator.compare(left.name, right.name) < 0;
    });
    return applications;
}

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

QCoro::Task<std::optional<DesktopApplication>>
chooseApplication(QWidget *window, std::function<void(const QUrl &)> validate, QString message) {
    const QPointer<QWidget> parent = window;
    auto handler = std::make_shared<OpenPanelDelegateHandler>();
    handler->validate = std::move(validate);
    while (true) {
        auto panel = std::make_shared<platform::OpenPanel>();
        panel->canChooseFiles = true;
        panel->canChooseDirectories = false;
        panel->directoryUrl = applicationsFolder();
        panel->prompt = QStringLiteral("Choose");
        panel->message = message;
        panel->shouldEnable = [handler](const QUrl &url) { return handler->shouldEnableUrl(url); };
        QWindow *sheetParent = parent ? parent->window()->windowHandle() : nullptr;
        const int response = co_await platform::OpenPanelPresenter::shared().begin(panel, sheetParent);
        if (response != platform::ModalResponse::ok || panel->urls.empty())
            co_return std::nullopt;
        const QUrl chosen = panel->urls.front();
        if (const auto failure = handler->validateUrl(chosen)) {
            co_await presentAsync(*failure, parent ? parent->window()->windowHandle() : nullptr);
            continue;
        }
        co_return desktopApplication(chosen);
    }
}

} // namespace kestrova::AppPicker
