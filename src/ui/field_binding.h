#pragma once

#include "core/field.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

class QAbstractButton;
class QAction;
class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTimeEdit;
class QWidget;

namespace ordan {

// One-way bindings each way between a widget and its field: the operator's edit calls the
// field's edit() (which runs the control's change handler), and a change of the model is
// rendered into the widget under a QSignalBlocker, so the station's own writes never count
// as edits. Every binding also gives the widget the field's name as its objectName and
// follows the field's enabled and visible state.
void BindState(QWidget *widget, FieldBase &field);
void Bind(QAbstractButton *box, BoolField &field); // check boxes and radio buttons
void Bind(QSpinBox *spin, IntField &field);
void Bind(QLineEdit *edit, TextField &field);
void Bind(QLabel *label, TextField &field);
void Bind(QComboBox *combo, Field<int> &currentIndex);
void Bind(QDateEdit *edit, Field<QDate> &field);
void Bind(QTimeEdit *edit, Field<QTime> &field);
void Bind(QAction *action, Action &model);
// A push button that runs the action: its caption and hint, its state, its click.
void Bind(QAbstractButton *button, Action &model);

} // namespace ordan
