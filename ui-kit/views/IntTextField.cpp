#include "IntTextField.h"

#include "ViewHelpers.h"

#include <QKeyEvent>
#include <QRegularExpression>

#include <limits>

namespace kestrova {

namespace {

// The whole text as a decimal number (optional sign, digits only); 0 for empty or other text.
std::int64_t wholeTextValue(const QString &text) {
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

// value + step (or − step), stopping at the ends of the 64-bit range.
std::int64_t stepped(std::int64_t value, std::int64_t step, bool up) {
    std::int64_t result = 0;
    const bool overflows =
        up ? __builtin_add_overflow(value, step, &result) : __builtin_sub_overflow(value, step, &result);
    if (!overflows)
        return result;
    return (step > 0) == up ? std::numeric_limits<std::int64_t>::max()
                            : std::numeric_limits<std::int64_t>::min();
}

} // namespace

IntTextField::IntTextField(QWidget *parent)
    : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, &IntTextField::textEdited);
    connect(this, &QLineEdit::editingFinished, this, &IntTextField::editingEnded);
}

std::int64_t IntTextField::integerValue() const {
    static const QRegularExpression leadingNumber(QStringLiteral("^\\s*([+-]?\\d+)"));
    const auto match = leadingNumber.match(text());
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const qlonglong value = match.captured(1).toLongLong(&ok);
    if (ok)
        return value;
    // More digits than 64 bits hold: the nearest end of the range.
    return match.captured(1).startsWith(QLatin1Char('-')) ? std::numeric_limits<std::int64_t>::min()
                                                          : std::numeric_limits<std::int64_t>::max();
}

bool IntTextField::isOutOfRange() const {
    if (!minMax)
        return false;
    const std::int64_t value = integerValue();
    return value < minMax->first || value > minMax->second;
}

void IntTextField::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    if ((key != Qt::Key_Up && key != Qt::Key_Down) || !hasFocus()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const std::int64_t step = modifiers == Qt::AltModifier ? alternativeDelta : delta;
    setText(QString::number(stepped(wholeTextValue(text()), step, key == Qt::Key_Up)));
    changeStep();
    event->accept();
}

void IntTextField::changeStep() {
    if (isOutOfRange())
        shake(this, /*vertical=*/false, 0.3, 5);
    if (onValueChange)
        onValueChange(integerValue());
}

void IntTextField::textEdited(const QString &text) {
    const std::int64_t value = integerValue();
    const bool stillTypingBelowMinimum = isOutOfRange() && value > 0 && value <= minMax->second;
    if (text.isEmpty() || stillTypingBelowMinimum)
        return;
    changeStep();
}

void IntTextField::editingEnded() {
    if (isOutOfRange())
        shake(this, /*vertical=*/false, 0.3, 5);
    if (onBlur)
        onBlur(integerValue());
}

} // namespace kestrova
