#pragma once

#include "foundation/errors/Error.h"
#include "foundation/errors/ErrorRecoveryAttempter.h"

#include <QColor>
#include <QEasingCurve>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kestrova {

// A value computed once from its input: the first call runs the closure and keeps the result, later calls
// answer it whatever their input. Holders are equal only when they are the same object.
template <typename Input, typename Output> class SimpleOnce {
public:
    explicit SimpleOnce(std::function<Output(const Input &)> closure)
        : m_closure(std::move(closure)) {}
    SimpleOnce(const SimpleOnce &) = delete;
    SimpleOnce &operator=(const SimpleOnce &) = delete;

    Output operator()(const Input &input) {
        std::lock_guard hold(m_mutex);
        if (!m_cache)
            m_cache = m_closure(input);
        return *m_cache;
    }

private:
    std::mutex m_mutex;
    std::function<Output(const Input &)> m_closure;
    std::optional<Output> m_cache;
};

// An error of the application itself: code 1, domain the application id (with " - " and the postfix when
// given), the message as description and the given texts, options and URL in its user info.
Error appError(const QString &message, const std::optional<QString> &recoverySuggestion = std::nullopt,
               const UserInfo &userInfo = {}, const std::optional<QString> &domainPostfix = std::nullopt,
               const std::optional<Error> &underlyingError = std::nullopt,
               const std::optional<QUrl> &url = std::nullopt,
               const std::optional<QString> &helpAnchor = std::nullopt,
               const QList<ErrorRecoveryAttempter::Option> &recoveryOptions = {});

// True when `test` holds for the error or, failing that, for one of its underlying errors.
bool isMatching(const Error &error, const std::function<bool(const Error &)> &test);

// The identity of an error in a list: code, domain, description and recovery suggestion, run together.
QString errorIdentity(const Error &error);

// Runs `work` on `context`'s thread after `seconds`, never inside the caller's turn.
void asyncAfter(double seconds, QObject *context, std::function<void()> work);

// Hue, saturation, brightness and alpha of a colour in the extended sRGB space; an invalid colour is
// reported and gives zeros.
std::array<double, 4> hueSaturationBrightnessAlpha(const QColor &color);
// Each component multiplied by (1 + its change). A colour that cannot be read is reported and comes back
// unchanged, rather than as transparent black.
QColor adjusting(const QColor &color, double hue = 0, double saturation = 0, double brightness = 0,
                 double alpha = 0);

// Dark when the window background is darker than its text.
bool isDarkMode(const QPalette &palette);

// The standard animation curves.
namespace TimingFunction {
const QEasingCurve &defaultCurve();
const QEasingCurve &easeIn();
const QEasingCurve &easeInEaseOut();
} // namespace TimingFunction

// The unscaled value of the kit's view-scaling helpers.
inline constexpr std::pair<double, double> kDefaultScale{1.0, 1.0};

// (key, value) pairs from a dictionary of closures, calling each closure, in key order.
std::vector<std::pair<QString, QString>>
evaluated(const std::map<QString, std::function<QString()>> &closures);

} // namespace kestrova
