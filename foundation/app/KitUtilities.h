#pragma once

// Small helpers of the kit that belong to no larger type.

#include "foundation/errors/Error.h"
#include "KvApp.h"

#include <QByteArray>
#include <QString>

#include <iterator>
#include <ranges>
#include <source_location>
#include <type_traits>
#include <typeinfo>

namespace kestrova {

namespace detail {
void reportErrorValue(const QString &description, std::source_location where);
}

// Hands the error, with the caller's file and line, to the error reporter and gives it back, so that a
// caller can report and throw in one step: `throw reported(SomeError(...));`. A kit error goes to the
// reporter itself, with its domain, code and user info; any other exception as a general error with its text.
template <typename ErrorValue>
ErrorValue reported(ErrorValue error, std::source_location where = std::source_location::current()) {
    if constexpr (std::is_convertible_v<const ErrorValue &, const Error &>)
        KvApp::reportError(error, {}, where);
    else if constexpr (requires { error.what(); })
        detail::reportErrorValue(QString::fromUtf8(error.what()), where);
    else
        detail::reportErrorValue(QString::fromUtf8(typeid(ErrorValue).name()), where);
    return error;
}

// The position `offset` steps after the collection's start. An offset past the end gives the end and a
// negative one gives the start, instead of walking off the collection.
template <std::ranges::forward_range Collection>
auto indexAtOffset(Collection &collection, std::ranges::range_difference_t<Collection> offset) {
    if (offset <= 0)
        return std::ranges::begin(collection);
    return std::ranges::next(std::ranges::begin(collection), offset, std::ranges::end(collection));
}

// The bytes without a terminating zero byte, when they end in one; a zero-terminated text read from the
// system becomes plain text bytes. Only one zero byte is dropped.
QByteArray removingTrailingZeroByte(const QByteArray &data);

} // namespace kestrova
