#include "FormRow.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QLabel>

namespace kestrova {

namespace {

void hideOwnLabel(QWidget *control) {
    auto *button = qobject_cast<QAbstractButton *>(control);
    if (!button || button->text().isEmpty())
        return;
    if (button->accessibleName().isEmpty())
        button->setAccessibleName(button->text());
    button->setText(QString());
}

} // namespace

void addFormRow(QFormLayout *form, const QString &label, QWidget *control, bool hidesControlLabel) {
    auto *text = new QLabel(label);
    text->setBuddy(control);
    addFormRow(form, text, control, hidesControlLabel);
}

void addFormRow(QFormLayout *form, QWidget *label, QWidget *control, bool hidesControlLabel) {
    if (hidesControlLabel)
        hideOwnLabel(control);
    form->addRow(label, control);
}

QFormLayout *makeAlignedForm(QWidget *parent) {
    auto *form = new QFormLayout(parent);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    return form;
}

} // namespace kestrova
