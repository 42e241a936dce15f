#pragma once

#include <QLabel>

namespace kestrova {

// A plain label: one line of text that cannot be edited, drawn in the label colour while enabled and the
// secondary colour while disabled, and sized to its text when it is put into a view.
class CocoaLabel final : public QLabel {
    Q_OBJECT
public:
    explicit CocoaLabel(const QString &text = QString(), QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void applyTextColor();
};

} // namespace kestrova
