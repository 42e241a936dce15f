#include "Buttons.h"

#include "foundation/app/KvApp.h"

namespace kestrova::Buttons {

Quit::Quit(QWidget *parent)
    : QPushButton(QStringLiteral("Quit ") + KvApp::name(), parent) {
    setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(this, &QPushButton::clicked, this, [] { KvApp::quit(); });
}

} // namespace kestrova::Buttons
