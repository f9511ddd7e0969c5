#include "ui/field_binding.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>
#include <QWidget>

namespace ordan {

namespace {

template <typename W, typename Render> void Follow(W *widget, FieldBase &field, Render render)
{
    render();
    QObject::connect(&field, &FieldBase::valueChanged, widget, [widget, render] {
        const QSignalBlocker block(widget);
        render();
    });
}

} // namespace

void BindState(QWidget *widget, FieldBase &field)
{
    widget->setObjectName(field.objectName());
    auto apply = [widget, &field] {
        widget->setEnabled(field.isEnabled());
        // Only a hidden field hides its widget; showing follows the parent's visibility, and a
        // widget not yet placed in a window is never shown as a window of its own.
        if (!field.isVisible())
            widget->setVisible(false);
        else if (widget->isHidden() && widget->parentWidget())
            widget->setVisible(true);
    };
    apply();
    QObject::connect(&field, &FieldBase::stateChanged, widget, apply);
}

void Bind(QAbstractButton *box, BoolField &field)
{
    BindState(box, field);
    Follow(box, field, [box, &field] { box->setChecked(field.value()); });
    QObject::connect(box, &QAbstractButton::toggled, &field, [&field](bool on) { field.edit(on); });
}

void Bind(QSpinBox *spin, IntField &field)
{
    BindState(spin, field);
    if (field.minimum() != field.maximum())
        spin->setRange(field.minimum(), field.maximum());
    else
        spin->setRange(-2147483647, 2147483647);
    Follow(spin, field, [spin, &field] { spin->setValue(field.value()); });
    QObject::connect(spin, &QSpinBox::valueChanged, &field, [&field](int v) { field.edit(v); });
}

void Bind(QLineEdit *edit, TextField &field)
{
    BindState(edit, field);
    Follow(edit, field, [edit, &field] {
        if (edit->text() != field.value())
            edit->setText(field.value());
    });
    QObject::connect(edit, &QLineEdit::textEdited, &field, [&field](const QString &t) { field.edit(t); });
}

void Bind(QLabel *label, TextField &field)
{
    BindState(label, field);
    Follow(label, field, [label, &field] { label->setText(field.value()); });
}

void Bind(QComboBox *combo, Field<int> &currentIndex)
{
    BindState(combo, currentIndex);
    Follow(combo, currentIndex, [combo, &currentIndex] { combo->setCurrentIndex(currentIndex.value()); });
    QObject::connect(combo, &QComboBox::activated, &currentIndex, [&currentIndex](int i) { currentIndex.edit(i); });
}

void Bind(QDateEdit *edit, Field<QDate> &field)
{
    BindState(edit, field);
    Follow(edit, field, [edit, &field] { edit->setDate(field.value()); });
    QObject::connect(edit, &QDateEdit::dateChanged, &field, [&field](QDate d) { field.edit(d); });
}

void Bind(QTimeEdit *edit, Field<QTime> &field)
{
    BindState(edit, field);
    Follow(edit, field, [edit, &field] { edit->setTime(field.value()); });
    QObject::connect(edit, &QTimeEdit::timeChanged, &field, [&field](QTime t) { field.edit(t); });
}

void Bind(QAction *action, Action &model)
{
    action->setObjectName(model.objectName());
    if (!model.caption().isEmpty())
        action->setText(model.caption());
    // Hints are tooltips only: a status tip would cover the status bar's panels.
    if (!model.hint().isEmpty())
        action->setToolTip(model.hint());
    if (!model.shortcut().isEmpty())
        action->setShortcut(QKeySequence(model.shortcut()));
    auto apply = [action, &model] {
        action->setEnabled(model.isEnabled());
        action->setVisible(model.isVisible());
    };
    apply();
    QObject::connect(&model, &FieldBase::stateChanged, action, apply);
    QObject::connect(action, &QAction::triggered, &model, [&model] { model.execute(); });
}

void Bind(QAbstractButton *button, Action &model)
{
    BindState(button, model);
    if (!model.caption().isEmpty())
        button->setText(model.caption());
    if (!model.hint().isEmpty())
        button->setToolTip(model.hint());
    QObject::connect(button, &QAbstractButton::clicked, &model, [&model] { model.execute(); });
}

} // namespace ordan
