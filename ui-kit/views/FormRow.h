#pragma once

#include <QString>

class QFormLayout;
class QWidget;

namespace kestrova {

// Rows of a settings form: a text label to the left of each control ("Title:", "Icon color:", "Sort
// order:"), every control's leading edge on one vertical line whatever the widths of the labels. The rows
// of one form share that line.
//
// Adds a row of `label` and `control` to `form`. With `hidesControlLabel`, a control that brings its own
// text (a check box, a radio button) keeps it only as its accessible name, so the row's label is not shown
// twice.
void addFormRow(QFormLayout *form, const QString &label, QWidget *control, bool hidesControlLabel = false);
// The same with any view as the label (owned by the form).
void addFormRow(QFormLayout *form, QWidget *label, QWidget *control, bool hidesControlLabel = false);

// A form whose rows line up as above: labels right-aligned against the controls' line, controls left-aligned
// on it, rows aligned on their text baselines, fields keeping their own size.
QFormLayout *makeAlignedForm(QWidget *parent = nullptr);

} // namespace kestrova
