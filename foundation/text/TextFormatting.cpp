#include "TextFormatting.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestrova {

std::string doubleDescription(double value) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (value == 0)
        return std::signbit(value) ? "-0.0" : "0.0";

    // to_chars gives the shortest digits that read back exactly; only their layout is ours.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const bool negative = scientific.front() == '-';
    if (negative)
        scientific.remove_prefix(1);
    const std::size_t exponentMark = scientific.find('e');
    std::string digits;
    for (const char character : scientific.substr(0, exponentMark)) {
        if (character != '.')
            digits += character;
    }
    std::string_view exponentText = scientific.substr(exponentMark + 1);
    if (exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    std::string text = negative ? "-" : "";
    const int decimalExponent = exponent + 1; // value = 0.digits × 10^decimalExponent
    const int digitCount = static_cast<int>(digits.size());
    if (decimalExponent < -3 || std::fabs(value) > 0x1.0p54) {
        text += digits.front();
        if (digitCount > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += exponent < 0 ? "e-" : "e+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10)
            text += '0';
        text += std::to_string(magnitude);
    } else if (decimalExponent <= 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-decimalExponent), '0');
        text += digits;
    } else if (digitCount <= decimalExponent) {
        text += digits;
        text.append(static_cast<std::size_t>(decimalExponent - digitCount), '0');
        text += ".0";
    } else {
        text.append(digits, 0, static_cast<std::size_t>(decimalExponent));
        text += '.';
        text.append(digits, static_cast<std::size_t>(decimalExponent));
    }
    return text;
}

QString dateDescription(platform::Date date) {
    return date.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" +0000");
}

QString formattedDimensions(const QSizeF &size) {
    const auto side = [](double length) {
        if (std::rint(length) == length)
            return QString::asprintf("%.0f", length);
        return QString::fromStdString(doubleDescription(length));
    };
    return side(size.width()) + QChar(0x00D7) + side(size.height());
}

} // namespace kestrova
