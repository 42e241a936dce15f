#include "StatusItemVisibility.h"

#include "foundation/errors/AlertBuilder.h"
#include "foundation/app/KvApp.h"
#include "platform/alerts/Alert.h"
#include "platform/status/StatusItem.h"
#include "store/Defaults.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>
#include <QTimer>

namespace kestrova {

namespace {

// What the user can do about it differs: without a tray the desktop lacks a piece; with a tray of the
// other kind, the icon went to a service that no panel shows; with one, the tray gave the icon no place.
QString explanation(const platform::StatusItem &statusItem) {
    if (!statusItem.isTrayAvailable() && statusItem.isOtherKindOfTrayAvailable())
        return QStringLiteral(
            "The system tray here shows only embedded icons, but a status notifier service is running, and "
            "the icon went there: no panel shows that service's icons. Adding a status notifier area to "
            "the panel, or quitting the program that runs the service, lets the icon appear.");
    if (!statusItem.isTrayAvailable())
        return QStringLiteral(
            "No system tray was found, so the icon has nowhere to appear. Some desktops show "
            "tray icons only with a system tray or status notifier extension installed.");
    return QStringLiteral(
        "The system tray did not show the icon. It may have no room left: try quitting some "
        "other apps that have tray icons. Some desktops also need a status notifier "
        "extension for the icon to appear.");
}

} // namespace

QCoro::Task<> StatusItemVisibility::check(std::weak_ptr<platform::StatusItem> statusItem,
                                          std::optional<QString> extraText, Options options) {
    const Defaults::Key<bool> shouldNotShowAgain(QString::fromLatin1(kShouldNotShowAgainKey), false,
                                                 options.suite);
    if (Defaults::get(shouldNotShowAgain))
        co_return;

    QTimer wait;
    wait.setSingleShot(true);
    wait.start(options.delay);
    co_await wait;

    QString informativeText;
    {
        const auto item = statusItem.lock();
        if (!item || !item->isHiddenFromMenuBar())
            co_return;
        informativeText = explanation(*item);
    }
    if (extraText)
        informativeText += QStringLiteral("\n\n") + *extraText;

    // A tray application is never in front by itself; the alert would open behind other windows.
    if (const auto activate = KvApp::hooks().activateApplication)
        activate();

    // A panel that hides itself cannot be told from one that is missing, so there is no variant for it.
    // Without a Settings window the second button would do nothing: it is left out.
    QStringList buttons{QStringLiteral("OK")};
    if (KvApp::hooks().showSettingsWindow)
        buttons << QStringLiteral("Open Settings");
    const auto alert = std::make_shared<platform::Alert>(makeAlert(AlertOptions{
        .title = QStringLiteral("Menu Bar Item Did Not Appear"),
        .message = informativeText,
        .buttons = buttons,
        .showsSuppressionButton = true,
        .suppressionButtonTitle = QStringLiteral("Do not show this again"),
    }));
    const int response = co_await platform::AlertPresenter::shared().run(alert);
    if (alert->suppressionButtonChecked)
        Defaults::set(shouldNotShowAgain, true);
    if (response == platform::ModalResponse::alertSecondButtonReturn)
        KvApp::showSettingsWindowAsync();
}

void ensureVisibility(const std::shared_ptr<platform::StatusItem> &statusItem,
                      std::optional<QString> extraText) {
    // The wait is a plain timer of the application, not a suspended coroutine: a quit within the first
    // second then frees it, where a coroutine waiting on its own timer would never be resumed or freed.
    QTimer::singleShot(StatusItemVisibility::kDelay, QCoreApplication::instance(),
                       [item = std::weak_ptr(statusItem), extraText = std::move(extraText)] {
                           QCoro::connect(StatusItemVisibility::check(item, extraText, {.delay = {}}),
                                          QCoreApplication::instance(), [] {});
                       });
}

} // namespace kestrova
