#pragma once

#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace kestrova {

// A field for a whole number: Up and Down step the number by `delta` (by `alternativeDelta` with Alt alone
// held) while the field is being edited; a number outside `minMax` makes the field shake, and every
// accepted change is reported to onValueChange, the end of editing to onBlur. The text is never clamped:
// it keeps what was typed or stepped. While the user is still typing towards the minimum (1 on the way to
// 10 for a range 10…20) nothing is reported and nothing shakes. A step past the 64-bit range stops at its
// end.
class IntTextField final : public QLineEdit {
    Q_OBJECT
public:
    explicit IntTextField(QWidget *parent = nullptr);

    std::int64_t delta = 1;
    std::int64_t alternativeDelta = 10;
    std::function<void(std::int64_t)> onValueChange;
    std::function<void(std::int64_t)> onBlur;
    std::optional<std::pair<std::int64_t, std::int64_t>> minMax;

    // The leading number of the text, as a person reads "12abc" (12); 0 for text without one.
    std::int64_t integerValue() const;
    bool isOutOfRange() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void changeStep();
    void textEdited(const QString &text);
    void editingEnded();
};

} // namespace kestrova
