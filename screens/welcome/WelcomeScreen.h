#pragma once

#include <QCoro/QCoroTask>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace kestrova {

namespace platform {
class StatusItem;
}

// The welcome window's content on the first launch. The first page shows the application's name and the
// "Launch at login" switch, with "Continue"; the last page asks for feedback and offers "Get Started"
// (Return presses it there; on the first page Return does nothing). There is no way back to the first page.
//
// "Get Started" flies the window into the first status icon and closes it, greets the user at the icon and
// then checks that the icon is really shown, explaining in an alert when the desktop shows no tray for it.
// Where the tray does not say where the icon is, the window flies to the end of the panel, and without a
// panel it closes in place. Without any status item the window simply closes: it has no close button, and
// must never be left on screen for good. Main thread only.
class WelcomeScreen : public QWidget {
    Q_OBJECT
public:
    using StatusItems = std::function<std::vector<std::shared_ptr<platform::StatusItem>>()>;

    // `hostingWindow` gives the window the screen is shown in (none when it has gone); `statusItems` the
    // live status items in the order they were made (the application's registry by default).
    WelcomeScreen(double buttonWidth, std::function<QWidget *()> hostingWindow, StatusItems statusItems = {},
                  QWidget *parent = nullptr);

    bool isLastPage() const { return m_isLastPage; }

    // The finishing flow behind "Get Started".
    QCoro::Task<> getStarted();

    // Where a window flies, and the greeting points, for a status item: its icon, else the far end of the
    // panel of the screen (the tray's end), else nothing.
    static std::optional<QRect> iconAnchor(const platform::StatusItem &statusItem);
    static std::optional<QRect> panelEndAnchor(const QRect &screenGeometry, const QRect &availableGeometry);

Q_SIGNALS:
    // The finishing flow has ended (whichever way).
    void didFinish();

private:
    void showLastPage();

    std::function<QWidget *()> m_hostingWindow;
    StatusItems m_statusItems;
    bool m_isLastPage = false;
    bool m_isFinishing = false;
    QWidget *m_titleBlock = nullptr;
    QStackedWidget *m_pages = nullptr;
};

} // namespace kestrova
