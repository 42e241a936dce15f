#pragma once

#include "SwiftUIWindowForMenuBarApp.h"

#include "platform/observation/Binding.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace kestrova {

// Shows content in a window of its own while a flag is true, for a view that has no window of its own
// to put it in (the per-folder configuration window of a status item, for example). The owner calls
// `update()` whenever the flag (or anything the window depends on) may have changed; closing the window
// sets the flag to false.
//
// One window is made with the object and reused for every showing. The content is built by `content` each
// time the window goes from hidden to shown, and deleted when it is hidden or closed, so every showing
// starts from the current state. Destroying the object closes the window, unless `windowOutlivesView` is
// set: then the window stays up and deletes itself once the user closes it.
class OneOffWindow;

// How a one-off window behaves; copied to the window on every update.
struct OneOffWindowOptions {
    bool fadeIn = false;
    bool windowOutlivesView = false;
    bool shouldCloseOnEscapePress = false;
    bool allowedAboveMenuBar = false;
};

class OneOffWindow final : public QObject {
    Q_OBJECT
public:
    using Options = OneOffWindowOptions;

    // `content` returns a new widget; the window takes ownership of it. `configure` runs on every update
    // with the window.
    OneOffWindow(platform::Binding<bool> isPresented, std::function<QWidget *()> content,
                 Options options = {}, std::function<void(SwiftUIWindowForMenuBarApp &)> configure = {},
                 QObject *parent = nullptr);
    ~OneOffWindow() override;
    Q_DISABLE_COPY_MOVE(OneOffWindow)

    // Brings the window in line with the flag: shows it (centred, in front, with the keyboard) when the
    // flag turned true, hides it when it turned false; otherwise only re-applies the options.
    void update();

    void setOptions(const Options &options) { m_options = options; }
    const Options &options() const { return m_options; }

    // The content while shown, null otherwise.
    QWidget *content() const { return m_content; }
    SwiftUIWindowForMenuBarApp *window() const { return m_window; }

private:
    void showDeferred();
    void dropContent();
    void windowWillClose();

    platform::Binding<bool> m_isPresented;
    std::function<QWidget *()> m_makeContent;
    Options m_options;
    std::function<void(SwiftUIWindowForMenuBarApp &)> m_configure;
    QPointer<SwiftUIWindowForMenuBarApp> m_window;
    QPointer<QWidget> m_content;
};

} // namespace kestrova
