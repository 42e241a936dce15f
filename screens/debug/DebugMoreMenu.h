#pragma once

#include <QToolButton>

class QLabel;

#include <functional>

namespace kestrova {

// The "More" button of a debug page: a menu with "Copy", a separator and "Clear", both disabled while the
// page has nothing to copy (asked each time the menu opens).
class DebugMoreMenu : public QToolButton {
    Q_OBJECT
public:
    DebugMoreMenu(std::function<bool()> hasContent, std::function<void()> copy, std::function<void()> clear,
                  QWidget *parent = nullptr);
};

// The title of a debug page ("Logs"), bold and a little larger than the text.
QLabel *debugPageTitle(const QString &title, QWidget *parent);

} // namespace kestrova
