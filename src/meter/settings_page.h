#pragma once

#include "core/field.h"
#include "core/modes.h"
#include "meter/meter_parameters.h"

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QGroupBox;
class QPlainTextEdit;
class QRadioButton;

namespace ordan {

// The page "Установка" (TabSheet1): the meter's parameters, the calendar, the status and the
// settings to write. Everything it shows lives in the model.
class SettingsPage final : public QWidget {
    Q_OBJECT
public:
    SettingsPage(MeterParameters &model, QWidget *parent = nullptr);

private:
    // One builder per group box of the page, each made with its controls.
    QGroupBox *buildAboutMeter();
    QGroupBox *buildIndication();
    QGroupBox *buildCalendar();
    QGroupBox *buildWriteSettings();
    QGroupBox *buildBillingDay();
    QGroupBox *buildDdmNumbers();
    QGroupBox *buildStatus();
    void hideControlsOfHiddenFields();
    void focusSerialNumberOnRequest();

    MeterParameters &model_;
};

// Bindings the shared set lacks, in the same one-way-each-way manner; the readings page
// uses them too.

// A radio button: a click, also on the selected one, is the operator's edit.
void BindRadio(QRadioButton *radio, BoolField &field);
// A read-only memo, one line per entry.
void BindMemo(QPlainTextEdit *memo, Field<QStringList> &field);
// Cream background and maroon text, as the status memos have.
void StyleStatusMemo(QPlainTextEdit *memo);

} // namespace ordan
