#pragma once

#include <QPushButton>

namespace kestrova::Buttons {

// "Quit Kestrova": quits the application on the next turn of the event loop; Ctrl+Q anywhere in its window
// presses it.
class Quit final : public QPushButton {
    Q_OBJECT
public:
    explicit Quit(QWidget *parent = nullptr);
};

} // namespace kestrova::Buttons
