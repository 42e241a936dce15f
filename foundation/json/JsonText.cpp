#include "JsonText.h"

#include "foundation/text/TextFormatting.h"

#include <algorithm>
#include <cmath>

namespace kestrova {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when it is not one (overlong forms,
// encoded surrogates and code points past U+10FFFF are not well formed).
std::size_t wellFormedSequenceLength(std::string_view bytes) {
    const auto byteAt = [&](std::size_t index) { return static_cast<unsigned char>(bytes[index]); };
    const unsigned char lead = byteAt(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    if (byteAt(1) < low || byteAt(1) > high)
        return 0;
    for (std::size_t index = 2; index < length; ++index) {
        if (byteAt(index) < 0x80 || byteAt(index) > 0xBF)
            return 0;
    }
    return length;
}

// Depth of the deepest array or object, counted without parsing; stops counting once past `limit`. Brackets
// inside strings do not count. Malformed text may be miscounted, which is harmless: the parser rejects it.
int nestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char character : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (character == '\\')
                escaped = true;
            else if (character == '"')
                inString = false;
            continue;
        }
        switch (character) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
    return deepest;
}

// The parser reads an overflowing number such as 1e999 as infinity, which has no JSON form: such text is
// refused instead of giving a value that cannot be written back.
bool holdsOnlyFiniteNumbers(const Json &value) {
    switch (value.type()) {
    case Json::value_t::number_float:
        return std::isfinite(value.get_ref<const Json::number_float_t &>());
    case Json::value_t::array:
    case Json::value_t::object:
        return std::all_of(value.begin(), value.end(),
                           [](const Json &element) { return holdsOnlyFiniteNumbers(element); });
    default:
        return true;
    }
}

void appendValue(std::string &out, const Json &value, int depth) {
    if (depth > JsonText::kMaximumDepth)
        throw JsonEncodingError("Too many nested arrays or dictionaries to encode.");
    switch (value.type()) {
    case Json::value_t::null:
    case Json::value_t::discarded:
        out += "null";
        return;
    case Json::value_t::boolean:
        out += value.get_ref<const Json::boolean_t &>() ? "true" : "false";
        return;
    case Json::value_t::number_integer:
        out += std::to_string(value.get_ref<const Json::number_integer_t &>());
        return;
    case Json::value_t::number_unsigned:
        out += std::to_string(value.get_ref<const Json::number_unsigned_t &>());
        return;
    case Json::value_t::number_float:
        JsonText::appendNumber(out, value.get_ref<const Json::number_float_t &>());
        return;
    case Json::value_t::string:
        JsonText::appendString(out, value.get_ref<const Json::string_t &>());
        return;
    case Json::value_t::binary:
        throw JsonEncodingError("Binary JSON values have no text form; store data as Base64 text.");
    case Json::value_t::array: {
        out += '[';
        bool first = true;
        for (const Json &element : value) {
            if (!first)
                out += ',';
            first = false;
            appendValue(out, element, depth + 1);
        }
        out += ']';
        return;
    }
    case Json::value_t::object: {
        out += '{';
        bool first = true;
        for (const auto &[key, member] : value.items()) {
            if (!first)
                out += ',';
            first = false;
            JsonText::appendString(out, key);
            out += ':';
            appendValue(out, member, depth + 1);
        }
        out += '}';
        return;
    }
    }
}

} // namespace

void JsonText::appendNumber(std::string &out, double value) {
    if (!std::isfinite(value))
        throw JsonEncodingError("Unable to encode " + doubleDescription(value) + " directly in JSON.");
    std::string text = doubleDescription(value);
    if (text.ends_with(".0"))
        text.resize(text.size() - 2);
    out += text;
}

void JsonText::appendString(std::string &out, std::string_view utf8) {
    static constexpr char kHexDigits[] = "0123456789abcdef";
    out.reserve(out.size() + utf8.size() + 2);
    out += '"';
    std::size_t index = 0;
    while (index < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[index]);
        if (byte >= 0x80) {
            const std::size_t length = wellFormedSequenceLength(utf8.substr(index));
            if (length == 0)
                throw JsonEncodingError("Unable to encode a string that is not valid UTF-8 at byte " +
                                        std::to_string(index) + ".");
            out.append(utf8.substr(index, length));
            index += length;
            continue;
        }
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += kHexDigits[byte >> 4];
                out += kHexDigits[byte & 0xF];
            } else {
                out += static_cast<char>(byte);
            }
        }
        ++index;
    }
    out += '"';
}

std::string JsonText::encode(const Json &value) {
    std::string out;
    appendValue(out, value, 0);
    return out;
}

std::optional<Json> JsonText::decode(std::string_view text) {
    if (nestingDepth(text, kMaximumDepth) > kMaximumDepth)
        return std::nullopt;
    Json value = Json::parse(text.begin(), text.end(), /*cb=*/nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded() || !holdsOnlyFiniteNumbers(value))
        return std::nullopt;
    return value;
}

std::optional<Json> JsonText::decodeStoredValue(std::string_view storedText) {
    std::string wrapped;
    wrapped.reserve(storedText.size() + 2);
    wrapped += '[';
    wrapped += storedText;
    wrapped += ']';
    std::optional<Json> array = decode(wrapped);
    if (!array || !array->is_array() || array->empty())
        return std::nullopt;
    return std::move((*array)[0]);
}

} // namespace kestrova
