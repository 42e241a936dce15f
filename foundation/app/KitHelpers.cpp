#include "KitHelpers.h"

#include "foundation/errors/GeneralError.h"
#include "KvApp.h"

#include <QTimer>

namespace kestrova {

Error appError(const QString &message, const std::optional<QString> &recoverySuggestion,
               const UserInfo &userInfo, const std::optional<QString> &domainPostfix,
               const std::optional<Error> &underlyingError, const std::optional<QUrl> &url,
               const std::optional<QString> &helpAnchor,
               const QList<ErrorRecoveryAttempter::Option> &recoveryOptions) {
    UserInfo info = userInfo;
    info.insert(QString(ErrorKey::localizedDescription), message);
    if (recoverySuggestion)
        info.insert(QString(ErrorKey::localizedRecoverySuggestion), *recoverySuggestion);
    if (helpAnchor)
        info.insert(QString(ErrorKey::helpAnchor), *helpAnchor);
    info = GeneralError::makeErrorUserInfo(info, url, {}, recoveryOptions);
    if (underlyingError)
        info.insert(QString(ErrorKey::underlyingError), QVariant::fromValue(*underlyingError));
    const QString domain = domainPostfix ? KvApp::id() + QStringLiteral(" - ") + *domainPostfix : KvApp::id();
    return Error(domain, 1, info);
}

bool isMatching(const Error &error, const std::function<bool(const Error &)> &test) {
    if (test(error))
        return true;
    const QList<Error> underlying = error.underlyingErrors();
    return std::any_of(underlying.begin(), underlying.end(), test);
}

QString errorIdentity(const Error &error) {
    return QString::number(error.code()) + error.domain() + error.localizedDescription() +
           error.localizedRecoverySuggestion().value_or(QString());
}

void asyncAfter(double seconds, QObject *context, std::function<void()> work) {
    QTimer::singleShot(std::chrono::milliseconds(qint64(std::max(0.0, seconds) * 1000)), context,
                       std::move(work));
}

std::array<double, 4> hueSaturationBrightnessAlpha(const QColor &color) {
    if (!color.isValid()) {
        KvApp::reportError(GeneralError(QStringLiteral("Unsupported color space: <Unknown>")));
        return {0, 0, 0, 0};
    }
    float hue = 0, saturation = 0, value = 0, alpha = 0;
    color.toExtendedRgb().getHsvF(&hue, &saturation, &value, &alpha);
    // An achromatic colour has no hue; Qt says -1.
    return {std::max(0.0f, hue), saturation, value, alpha};
}

QColor adjusting(const QColor &color, double hue, double saturation, double brightness, double alpha) {
    if (!color.isValid()) {
        KvApp::reportError(GeneralError(QStringLiteral("Unsupported color space: <Unknown>")));
        return color;
    }
    const auto [h, s, b, a] = hueSaturationBrightnessAlpha(color);
    const auto clamp = [](double value) { return float(std::clamp(value, 0.0, 1.0)); };
    return QColor::fromHsvF(clamp(h * (1 + hue)), clamp(s * (1 + saturation)), clamp(b * (1 + brightness)),
                            clamp(a * (1 + alpha)))
        .toExtendedRgb();
}

bool isDarkMode(const QPalette &palette) {
    return palette.color(QPalette::Window).lightnessF() < palette.color(QPalette::WindowText).lightnessF();
}

namespace TimingFunction {
namespace {
QEasingCurve bezier(double x1, double y1, double x2, double y2) {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(x1, y1), QPointF(x2, y2), QPointF(1, 1));
    return curve;
}
} // namespace

const QEasingCurve &defaultCurve() {
    static const QEasingCurve curve = bezier(0.25, 0.1, 0.25, 1);
    return curve;
}
const QEasingCurve &easeIn() {
    static const QEasingCurve curve = bezier(0.42, 0, 1, 1);
    return curve;
}
const QEasingCurve &easeInEaseOut() {
    static const QEasingCurve curve = bezier(0.42, 0, 0.58, 1);
    return curve;
}
} // namespace TimingFunction

std::vector<std::pair<QString, QString>>
evaluated(const std::map<QString, std::function<QString()>> &closures) {
    std::vector<std::pair<QString, QString>> pairs;
    for (const auto &[key, closure] : closures)
        pairs.emplace_back(key, closure ? closure() : QString());
    return pairs;
}

} // namespace kestrova
