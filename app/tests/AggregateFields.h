#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

// Visits every field of an aggregate in declaration order without naming them, so that a check over all
// fields of a struct of hooks also covers the fields added later.
namespace kestrova::testing {
namespace detail {

// Stands for a field of any type in a trial initialisation.
struct AnyField {
    template <typename Type> operator Type() const; // NOLINT: converts implicitly on purpose
};

template <typename Aggregate, typename... Fields> constexpr std::size_t fieldCount() {
    if constexpr (requires { Aggregate{Fields{}..., AnyField{}}; })
        return fieldCount<Aggregate, Fields..., AnyField>();
    else
        return sizeof...(Fields);
}

} // namespace detail

template <typename Aggregate> constexpr std::size_t fieldCount() {
    return detail::fieldCount<std::remove_cvref_t<Aggregate>>();
}

// Calls `visit` with a reference to each field of `aggregate` (at most twelve fields).
template <typename Aggregate, typename Visit> void forEachField(Aggregate &aggregate, Visit &&visit) {
    constexpr std::size_t count = fieldCount<Aggregate>();
    static_assert(count <= 12, "more fields than forEachField visits: extend it");
    if constexpr (count == 1) {
        auto &[f1] = aggregate;
        (visit(f1));
    } else if constexpr (count == 2) {
        auto &[f1, f2] = aggregate;
        (visit(f1), visit(f2));
    } else if constexpr (count == 3) {
        auto &[f1, f2, f3] = aggregate;
        (visit(f1), visit(f2), visit(f3));
    } else if constexpr (count == 4) {
        auto &[f1, f2, f3, f4] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4));
    } else if constexpr (count == 5) {
        auto &[f1, f2, f3, f4, f5] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5));
    } else if constexpr (count == 6) {
        auto &[f1, f2, f3, f4, f5, f6] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6));
    } else if constexpr (count == 7) {
        auto &[f1, f2, f3, f4, f5, f6, f7] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7));
    } else if constexpr (count == 8) {
        auto &[f1, f2, f3, f4, f5, f6, f7, f8] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7), visit(f8));
    } else if constexpr (count == 9) {
        auto &[f1, f2, f3, f4, f5, f6, f7, f8, f9] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7), visit(f8), visit(f9));
    } else if constexpr (count == 10) {
        auto &[f1, f2, f3, f4, f5, f6, f7, f8, f9, f10] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7), visit(f8), visit(f9),
         visit(f10));
    } else if constexpr (count == 11) {
        auto &[f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7), visit(f8), visit(f9),
         visit(f10), visit(f11));
    } else if constexpr (count == 12) {
        auto &[f1, f2, f3, f4, f5, f6, f7, f8, f9, f10, f11, f12] = aggregate;
        (visit(f1), visit(f2), visit(f3), visit(f4), visit(f5), visit(f6), visit(f7), visit(f8), visit(f9),
         visit(f10), visit(f11), visit(f12));
    }
}

} // namespace kestrova::testing
