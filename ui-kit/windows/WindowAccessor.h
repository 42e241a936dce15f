#pragma once

#include "WindowHelpers.h"

#include "platform/observation/Binding.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace kestrova {

// Reaches the window a widget is shown in: calls `onWindow` with the widget's top-level window each time
// the widget is shown or moved to another parent, and with null when it is hidden or has no window. The
// calls repeat, so `onWindow` must be safe to run again with the same window. Lives as long as the widget.
class WindowAccessor final : public QObject {
    Q_OBJECT
public:
    WindowAccessor(QWidget *view, std::function<void(QWidget *window)> onWindow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void report();

    QPointer<QWidget> m_view;
    std::function<void(QWidget *window)> m_onWindow;
};

// Configures the window that `view` ends up in, once it is in one (and again whenever it moves).
void accessHostingWindow(QWidget *view, std::function<void(QWidget *window)> onWindow);
void windowTitle(QWidget *view, const QString &title);
void windowLevel(QWidget *view, WindowLevel level);
// Off keeps the window at its size; on lets the user resize it again.
void windowIsResizable(QWidget *view, bool isResizable);
// Whether the title bar offers minimising.
void windowIsMinimizable(QWidget *view, bool isMinimizable);

// Tells when a widget comes on screen and leaves it: the flag (when given) follows, then the matching
// callback runs. Lives as long as the widget.
class AppearOnScreenView final : public QObject {
    Q_OBJECT
public:
    AppearOnScreenView(QWidget *view, std::function<void()> onViewDidAppear,
                       std::function<void()> onViewDidDisappear,
                       std::optional<platform::Binding<bool>> isOnScreen = std::nullopt);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_onViewDidAppear;
    std::function<void()> m_onViewDidDisappear;
    std::optional<platform::Binding<bool>> m_isOnScreen;
};

} // namespace kestrova
