#include "KvMenu.h"

namespace kestrova {

KvMenu::KvMenu(QString title)
    : platform::Menu(std::move(title)) {}

void KvMenu::openStateDidChange(bool isOpen) {
    // A copy: the closure may replace itself.
    if (const auto onOpenClose = m_onOpenClose)
        onOpenClose(isOpen);
}

void KvMenu::didNeedUpdate() {
    if (const auto onUpdate = m_onUpdate)
        onUpdate();
    // The first closure may have dropped the last reference to the menu; nothing else touches it then.
    if (const auto onUpdateLegacy = m_onUpdateLegacy)
        onUpdateLegacy(*this);
}

} // namespace kestrova
