#pragma once

#include "AtomicDictionary.h"
#include "Error.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <set>
#include <source_location>
#include <utility>

namespace kestrova {

// Context attached to every error report; the metadata wins over the report's own entries.
AtomicDictionary<QString, QVariant> &errorReportingMetadata();

// The kit's process-wide application values and operations.
namespace KvApp {

// A (domain, code) pair of errors that are never reported.
using IgnoredReportError = std::pair<QString, qint64>;
using ErrorPredicate = std::function<bool(const Error &)>;

// Empty unless replaced.
std::set<IgnoredReportError> ignoredReportErrors();
void setIgnoredReportErrors(std::set<IgnoredReportError> errors);

// Accepts every error unless replaced. Runs on the reporting thread, outside any lock of the reporter.
ErrorPredicate shouldReportError();
void setShouldReportError(ErrorPredicate predicate);

// Hands an unexpected error to the crash reporter and returns; the caller carries on. Cancellations,
// ignored errors and those `shouldReportError` turns down are dropped silently. The report's user info is
// `userInfo` plus "file" and "line" of the caller (where `userInfo` has no such key) with the metadata
// stored over it, and the error is rewritten by `Error::reportable`. Never throws, never blocks for long,
// may be called from any thread.
void reportError(const Error &error, const UserInfo &userInfo = {},
                 std::source_location location = std::source_location::current()) noexcept;

} // namespace KvApp
} // namespace kestrova
