#pragma once

#include <nlohmann/json.hpp>

#include <QByteArray>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrova {

// The JSON value type of stored records: members keep the order in which they were written.
using Json = nlohmann::ordered_json;

// Raised when a value has no JSON text: a non-finite number, a string that is not valid UTF-8, or nesting
// deeper than JsonText::kMaximumDepth.
class JsonEncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one writer and reader of stored JSON text.
//
// The writer's output is what other readers of our settings expect byte for byte: compact (no spaces, no line
// breaks), members in their stored order, every "/" inside a string written as "\/", the characters '"' and
// '\' and the control characters escaped (\b \f \n \r \t, otherwise \u00xx in lower-case hex), everything
// else, non-ASCII included, kept as UTF-8. Integers are written as integers; reals in their shortest
// round-trip form without a trailing ".0" (1.0 is written 1, 0.1 is 0.1, 1e-05 stays in exponent form).
//
// The reader accepts any JSON text (escaped or plain slashes alike) and fails softly: malformed text, invalid
// UTF-8, unpaired surrogate escapes and nesting deeper than kMaximumDepth give no value.
struct JsonText {
    static constexpr int kMaximumDepth = 512;

    // Throws JsonEncodingError.
    static std::string encode(const Json &value);
    static QByteArray encodeToBytes(const Json &value) { return QByteArray::fromStdString(encode(value)); }

    static std::optional<Json> decode(std::string_view text);
    static std::optional<Json> decode(const QByteArray &text) {
        return decode(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    }

    // A stored value's own text: the text of a one-element array holding the value, without the brackets.
    // Throws JsonEncodingError.
    static std::string encodeStoredValue(const Json &value) { return encode(value); }

    // Reads a stored value's text back the way it was made: "[" + text + "]" is decoded as an array and its
    // first element is the value. An empty text, or one that is not JSON, gives no value; "1,2" gives 1.
    static std::optional<Json> decodeStoredValue(std::string_view storedText);

    // Appends the shortest round-trip text of a finite real; throws JsonEncodingError for NaN or infinity.
    static void appendNumber(std::string &out, double value);
    // Appends a JSON string literal; throws JsonEncodingError when the bytes are not valid UTF-8.
    static void appendString(std::string &out, std::string_view utf8);
};

} // namespace kestrova
