#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace kestrova {

// A window bound to one content widget, for hosts that want the window and its content to go together:
// the content is deleted as soon as the window closes. The application itself does not create one.
//
// With `constrainWindowToScreen` the window is kept inside the screen it is on whenever it is shown, moved
// or resized (as far as the window manager lets a client place itself). Without `canBecomeKey` it never
// takes the keyboard; with `closeOnEsc` Escape closes it.
class SwiftUIWindow final : public QWidget {
    Q_OBJECT
public:
    struct Options {
        bool constrainWindowToScreen = false;
        bool canBecomeKey = true;
        bool closeOnEsc = false;
    };

    // Takes ownership of `content`.
    SwiftUIWindow(QWidget *content, Options options, QWidget *parent = nullptr);
    ~SwiftUIWindow() override;

    QWidget *content() const { return m_content; }
    const Options &options() const { return m_options; }

    // `frame` moved and shrunk so that it lies inside `screen` (both in global coordinates): a frame
    // larger than the screen takes the screen's size at its edge, one that sticks out is moved back.
    static QRect constrainedFrame(QRect frame, const QRect &screen);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void constrainToScreen();

    Options m_options;
    QPointer<QWidget> m_content;
};

} // namespace kestrova
