#include "OpenWithMenu.h"

#include "ui-kit/menus/CallbackMenuItem.h"
#include "ui-kit/menus/KvMenu.h"
#include "ui-kit/menus/MenuBuilding.h"
#include "ui-kit/windows/AppPicker.h"

#include "foundation/errors/Error.h"
#include "foundation/errors/ErrorPresentation.h"
#include "foundation/files/FileUrl.h"
#include "foundation/app/KvApp.h"
#include "foundation/files/ResourceValues.h"
#include "platform/workspace/ApplicationRegistry.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <QTimer>

#include <sys/stat.h>

namespace kestrova {

namespace {

const QString kOpenWithDomain = QStringLiteral("Kestrova.OpenWith");
constexpr int kApplicationIconSize = 16;

QString itemName(const QByteArray &path) {
    return QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
}

// The name the desktop shows, else the desktop file's name.
QString localizedName(const platform::Application &application) {
    return application.name.isEmpty() ? application.url.fileName() : application.name;
}

QString titleOf(const platform::Application &application) {
    QString title = localizedName(application);
    if (title.endsWith(QStringLiteral(".app")))
        title.chop(4);
    return title;
}

// Asks the registry only for an item that is still there, so that an entry deleted after the menu listed
// it is reported as such instead of reaching an application.
std::optional<Error> openNow(const QUrl &url, const QUrl &application) {
    const QByteArray path = url::localPath(url);
    struct stat status {};
    if (path.isEmpty() || ::lstat(path.constData(), &status) != 0) {
        const QString name = path.isEmpty() ? url.toDisplayString() : itemName(path);
        return Error(kOpenWithDomain, 1,
                     {{ErrorKey::localizedDescription, QStringLiteral("“%1” no longer exists.").arg(name)}});
    }
    const auto result = platform::ApplicationRegistry::shared().open(path, application);
    if (result.succeeded)
        return std::nullopt;
    return Error(
        kOpenWithDomain, 2,
        {{ErrorKey::localizedDescription,
          QStringLiteral("“%1” could not be opened with the chosen application.").arg(itemName(path))},
         {ErrorKey::localizedFailureReason, result.message}});
}

QCoro::Task<> chooseApplicationAndOpenTask(QUrl url) {
    const QString name = itemName(url::localPath(url));
    const auto application = co_await AppPicker::chooseApplication(
        nullptr, {}, QStringLiteral("Choose the app to open “") + name + QStringLiteral("” with."));
    if (!application)
        co_return;
    if (const auto failure = openNow(url, application->url))
        co_await presentAsync(*failure, nullptr);
}

} // namespace

platform::Menu &addOpenWithItem(platform::Menu &menu, const QUrl &url) {
    auto item = menu.addItem(std::make_shared<platform::MenuItem>(QStringLiteral("Open With")));
    setLazySubmenu(*item, [url] { return openWithMenu(url); });
    return menu;
}

std::shared_ptr<KvMenu> openWithMenu(const QUrl &url) {
    auto menu = KvMenu::create();
    const bool isDirectory = url::boolResourceValue(url, url::ResourceKey::isDirectory, false);
    const auto applications = platform::ApplicationRegistry::shared().applicationsToOpen(url::localPath(url));

    QSet<QString> listedNames;
    int index = 0;
    for (const auto &application : applications) {
        if (listedNames.contains(localizedName(application)))
            continue;
        listedNames.insert(localizedName(application));
        auto item = addCallbackItem(*menu, titleOf(application),
                                    [url, entry = application.url] { openURL(url, entry); });
        item->setImage(platform::applicationImage(application, kApplicationIconSize));
        // The default application stands apart from the others.
        if (index == 0 && !isDirectory)
            menu->addSeparator();
        ++index;
    }
    menu->addSeparator();
    if (KvApp::hasEntitlement(KvApp::Entitlement::filesUserSelectedReadOnly) ||
        KvApp::hasEntitlement(KvApp::Entitlement::filesUserSelectedReadWrite))
        addCallbackItem(*menu, QStringLiteral("Other…"), [url] { chooseApplicationAndOpen(url); });
    return menu;
}

void openURL(const QUrl &url, const QUrl &application) {
    QTimer::singleShot(0, QCoreApplication::instance(), [url, application] {
        if (const auto failure = openNow(url, application))
            presentAsModal(*failure);
    });
}

void chooseApplicationAndOpen(const QUrl &url) {
    QCoro::connect(chooseApplicationAndOpenTask(url), QCoreApplication::instance(), [] {});
}

} // namespace kestrova
