#include "KvApp.h"

#include "foundation/errors/ErrorRecoveryAttempter.h"
#include "foundation/concurrency/UnfairLock.h"
#include "platform/reports/CrashReporter.h"

#include <QVariantHash>
#include <QVariantList>

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

namespace kestrova {
namespace {

struct ReportFilters {
    UnfairLock lock;
    std::set<KvApp::IgnoredReportError> ignored;
    KvApp::ErrorPredicate predicate = [](const Error &) { return true; };
};

// Never destroyed: errors may still be reported while static objects are torn down at exit.
ReportFilters &reportFilters() {
    static auto *filters = new ReportFilters;
    return *filters;
}

bool isIgnored(const Error &error, const std::set<KvApp::IgnoredReportError> &ignored) {
    if (ignored.empty())
        return false;
    const QList<Error> underlying = error.underlyingErrors();
    for (const auto &[domain, code] : ignored) {
        if (error.hasDomainAndCode(domain, code))
            return true;
        for (const Error &inner : underlying) {
            if (inner.hasDomainAndCode(domain, code))
                return true;
        }
    }
    return false;
}

// The crash reporter knows nothing of the kit's types: errors inside the user info become plain maps
// and other kit objects their type name, so the report shows them rather than an opaque value.
constexpr int kMaximumNesting = 16;

QVariant capturable(const QVariant &value, int depth);

QVariantMap capturable(const Error &error, int depth) {
    QVariantMap info;
    for (auto entry = error.userInfo().cbegin(); entry != error.userInfo().cend(); ++entry)
        info.insert(entry.key(), capturable(entry.value(), depth + 1));
    return {{QStringLiteral("domain"), error.domain()},
            {QStringLiteral("code"), error.code()},
            {QStringLiteral("userInfo"), info}};
}

QVariant capturable(const QVariant &value, int depth) {
    if (depth > kMaximumNesting)
        return QStringLiteral("…");
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<Error>())
        return capturable(value.value<Error>(), depth);
    if (type == QMetaType::fromType<QList<Error>>()) {
        QVariantList errors;
        for (const Error &error : value.value<QList<Error>>())
            errors.append(capturable(error, depth + 1));
        return errors;
    }
    if (type == QMetaType::fromType<std::shared_ptr<ErrorRecoveryAttempter>>())
        return QStringLiteral("ErrorRecoveryAttempter");
    if (type == QMetaType::fromType<QVariantList>()) {
        QVariantList items;
        for (const QVariant &item : value.toList())
            items.append(capturable(item, depth + 1));
        return items;
    }
    if (type == QMetaType::fromType<QVariantMap>() || type == QMetaType::fromType<QVariantHash>()) {
        const QVariantMap map = value.toMap();
        QVariantMap items;
        for (auto entry = map.cbegin(); entry != map.cend(); ++entry)
            items.insert(entry.key(), capturable(entry.value(), depth + 1));
        return items;
    }
    return value;
}

void report(const Error &error, const UserInfo &userInfo, const std::source_location &location) {
    if (error.isNativeValue() && error.domain() == CancellationError().domain())
        return;
    if (isIgnored(error, KvApp::ignoredReportErrors()))
        return;
    if (const auto predicate = KvApp::shouldReportError(); predicate && !predicate(error))
        return;

    UserInfo info = userInfo;
    if (!info.contains(QStringLiteral("file")))
        info.insert(QStringLiteral("file"), QString::fromUtf8(location.file_name()));
    if (!info.contains(QStringLiteral("line")))
        info.insert(QStringLiteral("line"), static_cast<qint64>(location.line()));
    for (const auto &[key, value] : errorReportingMetadata().keyValuePairs())
        info.insert(key, value);

    const Error reportable = error.reportable(info);
    platform::CrashReporter::shared().captureError(
        reportable.domain(), reportable.code(),
        capturable(reportable, 0).value(QStringLiteral("userInfo")).toMap());
}

} // namespace

AtomicDictionary<QString, QVariant> &errorReportingMetadata() {
    static auto *metadata = new AtomicDictionary<QString, QVariant>;
    return *metadata;
}

namespace KvApp {

std::set<IgnoredReportError> ignoredReportErrors() {
    auto &filters = reportFilters();
    std::lock_guard hold(filters.lock);
    return filters.ignored;
}

void setIgnoredReportErrors(std::set<IgnoredReportError> errors) {
    auto &filters = reportFilters();
    std::lock_guard hold(filters.lock);
    filters.ignored = std::move(errors);
}

ErrorPredicate shouldReportError() {
    auto &filters = reportFilters();
    std::lock_guard hold(filters.lock);
    return filters.predicate;
}

void setShouldReportError(ErrorPredicate predicate) {
    auto &filters = reportFilters();
    std::lock_guard hold(filters.lock);
    filters.predicate = std::move(predicate);
}

void reportError(const Error &error, const UserInfo &userInfo, std::source_location location) noexcept {
    // The reporter is the last stop for failures: nothing it meets may reach the caller.
    try {
        report(error, userInfo, location);
    } catch (const std::exception &exception) {
        std::fprintf(stderr, "Kestrova: could not report an error: %s\n", exception.what());
    } catch (...) {
        std::fprintf(stderr, "Kestrova: could not report an error\n");
    }
}

} // namespace KvApp
} // namespace kestrova
