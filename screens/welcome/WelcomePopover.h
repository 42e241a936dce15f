#pragma once

#include <QCoro/QCoroTask>
#include <QRect>
#include <QWidget>

#include <chrono>

namespace kestrova {

// The greeting that points at the application's status icon on the first launch: "Hello, I'm Kestrova" in
// a small bubble beside the icon (below it when the icon is in the upper half of the screen, above it
// otherwise), kept on the screen. It closes when clicked or after 5 s. A click on the icon itself goes to
// the icon (the bubble never covers it), and the bubble goes by its timer. Main thread only.
class WelcomePopover : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLifetime{5000};
    static constexpr std::chrono::milliseconds kDelay{100};

    // Waits a moment (the icon may just have been placed), shows the greeting against `anchor` (global
    // coordinates) and returns once it has closed. Durations follow windowAnimationTimeScale().
    static QCoro::Task<> showAt(QRect anchor);

    // Where the bubble of `size` goes for `anchor` within `screen`.
    static QPoint placement(const QRect &anchor, const QSize &size, const QRect &screen);

Q_SIGNALS:
    void finished();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    explicit WelcomePopover(const QString &text);
};

} // namespace kestrova
