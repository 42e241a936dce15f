#pragma once

#include <QUrl>

#include <concepts>

namespace kestrova {

// Types that have an empty value made without arguments: numbers (0), text, collections, images and
// colours (empty or null), and a URL, whose empty value is the relative URL ".".
template <typename T>
concept EmptyInitializable = std::default_initializable<T>;

template <EmptyInitializable T> T emptyValue() {
    return T{};
}

template <> inline QUrl emptyValue<QUrl>() {
    return QUrl(QStringLiteral("."));
}

} // namespace kestrova
