#pragma once

#include "platform/menus/Menu.h"

#include <QString>

#include <functional>
#include <memory>

namespace kestrova {

// Every menu of the application. On top of the menu model it offers three replaceable closures for its
// events, called after the observers: onUpdate then onUpdateLegacy on every needs-update event, and
// onOpenClose with true on opening and false on closing. The last closure set wins; all are released with
// the menu. Status-item coordinators rebuild contents from onUpdate, lazy submenus and folder menus watch
// observeOpenState (which first replays the present state).
//
// There is no automatic enabling: an item's enabled state is exactly what its builder set.
class KvMenu : public platform::Menu {
public:
    explicit KvMenu(QString title = {});

    static std::shared_ptr<KvMenu> create(QString title = {}) {
        return std::make_shared<KvMenu>(std::move(title));
    }

    void setOnUpdate(std::function<void()> onUpdate) { m_onUpdate = std::move(onUpdate); }
    void setOnUpdateLegacy(std::function<void(KvMenu &)> onUpdate) { m_onUpdateLegacy = std::move(onUpdate); }
    void setOnOpenClose(std::function<void(bool isOpen)> onOpenClose) {
        m_onOpenClose = std::move(onOpenClose);
    }

protected:
    void openStateDidChange(bool isOpen) override;
    void didNeedUpdate() override;

private:
    std::function<void()> m_onUpdate;
    std::function<void(KvMenu &)> m_onUpdateLegacy;
    std::function<void(bool)> m_onOpenClose;
};

} // namespace kestrova
