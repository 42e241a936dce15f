#include "OneOffWindow.h"

#include "WindowHelpers.h"

#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrova {

OneOffWindow::OneOffWindow(platform::Binding<bool> isPresented, std::function<QWidget *()> content,
                           Options options, std::function<void(SwiftUIWindowForMenuBarApp &)> configure,
                           QObject *parent)
    : QObject(parent)
    , m_isPresented(std::move(isPresented))
    , m_makeContent(std::move(content))
    , m_options(options)
    , m_configure(std::move(configure))
    , m_window(new SwiftUIWindowForMenuBarApp) {
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    connect(m_window, &SwiftUIWindowForMenuBarApp::windowWillClose, this, &OneOffWindow::windowWillClose);
}

OneOffWindow::~OneOffWindow() {
    if (!m_window)
        return;
    // The flag belongs to the view that is going away: nothing may write it from here on.
    disconnect(m_window, nullptr, this, nullptr);
    if (m_options.windowOutlivesView && m_window->isVisible()) {
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        return;
    }
    m_window->close();
    delete m_window;
}

void OneOffWindow::update() {
    if (!m_window)
        return;
    m_window->shouldCloseOnEscapePress = m_options.shouldCloseOnEscapePress;
    m_window->allowedAboveMenuBar = m_options.allowedAboveMenuBar;
    if (m_configure)
        m_configure(*m_window);

    const bool presented = m_isPresented.get();
    if (presented && !m_content && m_makeContent) {
        m_content = m_makeContent();
        if (m_content) {
            m_window->layout()->addWidget(m_content);
            m_window->adjustSize();
        }
    }
    if (presented == m_window->isVisible())
        return;
    if (presented) {
        if (const QScreen *screen = m_window->screen())
            m_window->move(screen->availableGeometry().center() - m_window->rect().center());
        // Shown on the next turn, as the owner's update has finished.
        QTimer::singleShot(0, this, &OneOffWindow::showDeferred);
        return;
    }
    if (m_window->isFullScreen())
        m_window->showNormal();
    m_window->hide();
    dropContent();
}

void OneOffWindow::showDeferred() {
    // The flag may have turned false again before this turn came.
    if (!m_window || m_window->isVisible() || !m_isPresented.get())
        return;
    WindowShowOptions options;
    options.fadeIn = m_options.fadeIn;
    showWindow(m_window, options);
}

void OneOffWindow::dropContent() {
    if (m_content)
        m_content->deleteLater();
    m_content = nullptr;
}

void OneOffWindow::windowWillClose() {
    m_isPresented.set(false);
    dropContent();
}

} // namespace kestrova
