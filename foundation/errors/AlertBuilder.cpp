#include "AlertBuilder.h"

#include "GeneralError.h"
#include "foundation/app/KvApp.h"

namespace kestrova {

namespace {

constexpr double kDetailTextHeight = 120;

bool isButtonIndex(const platform::Alert &alert, int index) {
    return index >= 0 && std::size_t(index) < alert.buttons.size();
}

} // namespace

platform::Alert makeAlert(const AlertOptions &options) {
    platform::Alert alert;
    alert.messageText = options.title;
    alert.alertStyle = options.style;
    alert.icon = options.icon;
    alert.showsSuppressionButton = options.showsSuppressionButton;
    if (options.suppressionButtonTitle)
        alert.suppressionButtonTitle = *options.suppressionButtonTitle;
    if (options.message)
        alert.informativeText = *options.message;

    if (options.detailText) {
        // Without a width the presenter matches the text area to the message once the alert is laid out.
        alert.accessory =
            platform::Alert::Accessory{options.detailText, options.minimumWidth, kDetailTextHeight};
    } else if (options.minimumWidth) {
        alert.accessory = platform::Alert::Accessory{std::nullopt, options.minimumWidth, 0};
    }

    for (const QString &title : options.buttons)
        alert.addButton(title);

    if (const auto index = options.defaultButtonIndex) {
        if (*index == -1 || isButtonIndex(alert, *index)) {
            alert.setDefaultButton(*index);
        } else {
            KvApp::reportError(
                GeneralError(QStringLiteral("The default button index %1 is outside the %2 buttons.")
                                 .arg(*index)
                                 .arg(alert.buttons.size())));
        }
    }

    for (auto &button : alert.buttons)
        button.hasDestructiveAction = false;
    for (const int index : options.destructiveButtonIndexes) {
        if (!isButtonIndex(alert, index))
            continue;
        auto &button = alert.buttons[std::size_t(index)];
        button.hasDestructiveAction = true;
        if (button.keyEquivalent == QStringLiteral("\r"))
            button.keyEquivalent.clear();
    }
    return alert;
}

} // namespace kestrova
