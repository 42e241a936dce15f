#pragma once

#include "platform/alerts/Alert.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kestrova {

// Everything an alert of the application can set; only the title is required.
struct AlertOptions {
    QString title = {};
    std::optional<QString> message = {};
    // Shown in a read-only scrolling text area below the message.
    std::optional<QString> detailText = {};
    platform::Alert::Style style = platform::Alert::Style::warning;
    // Null keeps the application's icon.
    QImage icon = {};
    // In order: the first answers 1000 (and sits rightmost), the next 1001, and so on.
    QStringList buttons = {};
    // The button that answers Return; -1 for none; unset keeps the first button's Return.
    std::optional<int> defaultButtonIndex = {};
    std::vector<int> destructiveButtonIndexes = {};
    // The width of the detail text, or of an empty area that widens the alert.
    std::optional<double> minimumWidth = {};
    bool showsSuppressionButton = false;
    std::optional<QString> suppressionButtonTitle = {};
};

// Builds every alert the same way: buttons in order, the default button, then destructive buttons, which
// never answer Return (a destructive default button loses its Return, leaving the alert without one).
// Indexes outside the buttons are skipped; a default index outside them is reported and left alone.
platform::Alert makeAlert(const AlertOptions &options);

} // namespace kestrova
