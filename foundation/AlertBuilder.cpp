#include "AlertBuilder.h"

#include <algorithm>

namespace kestrova {

platform::Alert makeAlert(const QString &title, const std::optional<QString> &message,
                          const std::optional<QString> &detailText, platform::Alert::Style style,
                          const QImage &icon, const AlertButtons &buttons, bool showsSuppressionButton,
                          const std::optional<QString> &suppressionButtonTitle) {
    platform::Alert alert;
    alert.messageText = title;
    alert.informativeText = message.value_or(QString());
    alert.alertStyle = style;
    alert.icon = icon;
    if (detailText)
        alert.accessory = platform::Alert::Accessory{*detailText, std::nullopt, 0};
    for (const QString &buttonTitle : buttons.titles)
        alert.addButton(buttonTitle);
    if (buttons.defaultButtonIndex && *buttons.defaultButtonIndex >= 0 &&
        std::size_t(*buttons.defaultButtonIndex) < alert.buttons.size())
        alert.setDefaultButton(*buttons.defaultButtonIndex);
    for (const int index : buttons.destructiveButtonIndexes) {
        if (index < 0 || std::size_t(index) >= alert.buttons.size())
            continue;
        auto &button = alert.buttons[std::size_t(index)];
        button.hasDestructiveAction = true;
        if (button.keyEquivalent == QStringLiteral("\r"))
            button.keyEquivalent.clear();
    }
    alert.showsSuppressionButton = showsSuppressionButton;
    if (suppressionButtonTitle)
        alert.suppressionButtonTitle = *suppressionButtonTitle;
    return alert;
}

} // namespace kestrova
