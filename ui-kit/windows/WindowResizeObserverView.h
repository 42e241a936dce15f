#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kestrova {

// Calls onResize whenever the window of `view` is resized or enters full screen. Lives as long as the
// view; follows the view into another window.
class WindowResizeObserverView : public QObject {
    Q_OBJECT

public:
    WindowResizeObserverView(QWidget *view, std::function<void()> onResize);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow();

    QWidget *m_view;
    QPointer<QWidget> m_window;
    std::function<void()> m_onResize;
};

} // namespace kestrova
