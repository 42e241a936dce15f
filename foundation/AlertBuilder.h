#pragma once

#include "platform/Alert.h"

#include <QString>

#include <optional>
#include <vector>

namespace kestrova {

// The kit's way of making an alert in one call.
struct AlertButtons {
    std::vector<QString> titles;
    // The button answering Return; none keeps the desktop's rule (the first button).
    std::optional<int> defaultButtonIndex;
    // Marked destructive; such a button loses Return, so Return never confirms it.
    std::vector<int> destructiveButtonIndexes;
};

// An alert with the message, an optional informative text and detail text (a scrolling text below the
// message), the style, an optional icon and the buttons in order (the first answers 1000). Without buttons
// the presenter shows its single confirming button.
platform::Alert makeAlert(const QString &title, const std::optional<QString> &message = std::nullopt,
                          const std::optional<QString> &detailText = std::nullopt,
                          platform::Alert::Style style = platform::Alert::Style::warning,
                          const QImage &icon = {}, const AlertButtons &buttons = {},
                          bool showsSuppressionButton = false,
                          const std::optional<QString> &suppressionButtonTitle = std::nullopt);

} // namespace kestrova
