#pragma once

#include <QPushButton>

namespace kestrova {

// A button that lets every click through to what lies beneath it.
class LabelButton : public QPushButton {
public:
    explicit LabelButton(QWidget *parent = nullptr)
        : QPushButton(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
};

} // namespace kestrova
