#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace kestrova::fuzz {

// The fuzzer's bytes as a QByteArray that owns a copy, so that a read past the end is caught by the
// address sanitizer at the input's own end rather than hidden by Qt's terminating zero.
QByteArray bytes(const std::uint8_t *data, std::size_t size);

// Stops the run with a message when a property that must hold for every input does not: the fuzzer then
// keeps the input that broke it.
void require(bool condition, const char *what);

// A Qt application for the targets whose readers need one (images), made once, with the offscreen platform.
void ensureApplication();

} // namespace kestrova::fuzz
