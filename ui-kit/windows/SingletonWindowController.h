#pragma once

#include "SwiftUIWindowForMenuBarApp.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <typeindex>

namespace kestrova {

// A window that exists at most once (welcome, debug, support): each subclass has one live controller,
// made on first use by its default constructor, which builds the window and hands it to this base.
// Closing the window forgets the controller, and the controller and its window are deleted once the close
// has been handled, so the next `show` builds both afresh.
//
// The registry owns the live controllers; the controller owns its window. Main thread only.
class SingletonWindowController : public QObject {
    Q_OBJECT
public:
    ~SingletonWindowController() override;
    Q_DISABLE_COPY_MOVE(SingletonWindowController)

    SwiftUIWindowForMenuBarApp *window() const { return m_window.get(); }

    // Whether showing the window also brings it to the front and asks for the keyboard (a tray application
    // is never in front on its own).
    bool shouldActivateWindowWhenAppIsAccessory = true;

    // The live controller of `Controller`, made now when there is none.
    template <typename Controller> static Controller &shared() {
        static_assert(std::is_base_of_v<SingletonWindowController, Controller>);
        auto &entry = registry()[std::type_index(typeid(Controller))];
        if (!entry) {
            entry.reset(new Controller());
            entry->m_registryKey = std::type_index(typeid(Controller));
        }
        return static_cast<Controller &>(*entry);
    }

    // Whether `Controller` has a live controller right now.
    template <typename Controller> static bool hasShared() {
        return registry().count(std::type_index(typeid(Controller))) != 0;
    }

    // Shows the window of the live controller (made now when there is none), fading it in when asked. A
    // controller without a window shows nothing. Returns at once; the fade runs on the event loop.
    template <typename Controller> static void show(bool fadeIn = false) {
        shared<Controller>().showWindow(fadeIn);
    }

protected:
    // Takes ownership of `window`, which may be null.
    explicit SingletonWindowController(SwiftUIWindowForMenuBarApp *window);

private:
    using Registry = std::map<std::type_index, std::unique_ptr<SingletonWindowController>>;
    static Registry &registry();

    void showWindow(bool fadeIn);
    void windowWillClose();

    std::unique_ptr<SwiftUIWindowForMenuBarApp> m_window;
    std::type_index m_registryKey = std::type_index(typeid(void));
};

} // namespace kestrova
