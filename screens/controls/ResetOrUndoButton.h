#pragma once

#include <QToolButton>

namespace kestrova {

// A button that shows only the reset symbol; its title is its tool tip and what assistive technologies
// call it.
class ResetOrUndoButton : public QToolButton {
    Q_OBJECT

public:
    explicit ResetOrUndoButton(const QString &title, QWidget *parent = nullptr);
};

} // namespace kestrova
