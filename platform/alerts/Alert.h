#pragma once

#include <QCoro/QCoroTask>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kestrova::platform {

// What a modal alert or panel answers: the clicked button of an alert counts from 1000, panels answer
// ok or cancel.
namespace ModalResponse {
inline constexpr int cancel = 0;
inline constexpr int ok = 1;
inline constexpr int stop = -1000;
inline constexpr int abort = -1001;
inline constexpr int continueRunning = -1002;
inline constexpr int alertFirstButtonReturn = 1000;
inline constexpr int alertSecondButtonReturn = 1001;
inline constexpr int alertThirdButtonReturn = 1002;
} // namespace ModalResponse

// A modal notice, question or warning, as data: the presenter turns it into a window. Buttons are listed
// in the order they were added; the first one answers 1000, the next 1001, and so on.
class Alert {
public:
    enum class Style { warning, informational, critical };

    struct Button {
        QString title;
        // "\r" answers Return, "\x1b" Escape; empty answers no key.
        QString keyEquivalent;
        bool hasDestructiveAction = false;
    };

    // Below the message: read-only scrolling text, or only a minimum width.
    struct Accessory {
        std::optional<QString> detailText;
        // The width in points; none means "as wide as the message text".
        std::optional<double> width;
        double height = 0;
    };

    QString messageText;
    QString informativeText;
    Style alertStyle = Style::warning;
    // Null keeps the application's icon.
    QImage icon;
    std::vector<Button> buttons;
    std::optional<Accessory> accessory;
    bool showsSuppressionButton = false;
    QString suppressionButtonTitle = QStringLiteral("Do not show this message again");
    // Set by the presenter when the alert ends.
    bool suppressionButtonChecked = false;

    // Adds a button the way the desktop expects: the first button answers Return, a "Cancel" button
    // answers Escape. Returns its index.
    std::size_t addButton(const QString &title);

    // Every button answering Return loses it; then, unless `index` is -1, the button at `index` answers
    // Return. An index outside the buttons is a programming error.
    void setDefaultButton(int index);

    // The response of the button at `index` (1000 + index).
    static int responseForButton(std::size_t index) {
        return ModalResponse::alertFirstButtonReturn + int(index);
    }
};

// Shows alerts. The desktop presenter uses real windows; tests install a scripted one. Main thread only.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // Runs the alert application-modally and returns the clicked button's response.
    virtual int runModal(Alert &alert) = 0;

    // Shows the alert as a sheet of `window` (application-modal when there is none) and calls
    // `completion` with the response when it ends; returns at once.
    virtual void beginSheet(Alert &alert, QWindow *window, std::function<void(int response)> completion) = 0;

    // Runs the alert application-modally on a later turn of the main event loop (never inside the caller's
    // turn) and resumes the caller with the response.
    QCoro::Task<int> run(std::shared_ptr<Alert> alert);

    // The presenter in use; the desktop installs its own at start-up, tests a scripted one.
    static AlertPresenter &shared();
    static void setShared(std::shared_ptr<AlertPresenter> presenter);
};

} // namespace kestrova::platform
