#pragma once

#include <QCheckBox>
#include <QString>

namespace kestrova::Bootwick {

// The switch "Launch at login", bound to Bootwick::isEnabled: it shows the autostart entry's state, read
// afresh whenever any switch writes it, and turning it writes it.
class Toggle : public QCheckBox {
    Q_OBJECT
public:
    explicit Toggle(QWidget *parent = nullptr);
    explicit Toggle(const QString &label, QWidget *parent = nullptr);

protected:
    void nextCheckState() override;

private:
    void refresh();
};

} // namespace kestrova::Bootwick
