#pragma once

#include "core/field.h"
#include "core/modes.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTime>

#include <array>
#include <optional>

namespace ordan {

// A date picker that only offers the years the clock frame can carry (two BCD digits).
class DateField final : public Field<QDate> {
public:
    static QDate minimumDate() { return QDate(2000, 1, 1); }
    static QDate maximumDate() { return QDate(2099, 12, 31); }

    DateField(const QString &name, QObject *parent, QDate initial) : Field<QDate>(name, parent, initial) {}

protected:
    QDate constrain(const QDate &value) const override
    {
        if (!value.isValid())
            return value;
        return qBound(minimumDate(), value, maximumDate());
    }
};

// A string grid of the readings page: five rows (titles, three tariffs, sum), two columns.
using ReadingsGrid = std::array<std::array<QString, 2>, 5>;

// The model of the pages "Установка" and "Показания": one field per control, named as the
// control, inside containers named as the group boxes. The widgets only show these fields.
class MeterParameters final : public QObject {
    Q_OBJECT
public:
    explicit MeterParameters(const Modes &modes, QObject *parent = nullptr);

    const Modes &modes() const { return modes_; }

    // Page "Установка".
    Container TabSheet1;

    Container GroupBox1; // " О счетчике "
    IntField SpinEdit_Number;
    Action BitBtn1; // "+": next free factory number; its handler belongs to the records
    IntField SpinNewAddr;
    TextField LabeledVersion;
    TextField LabeledCurTime;
    BoolField CheckSummer;
    TextField LabeledDelta;
    TextField EditOff;
    TextField LabeledOff;
    TextField LabeledNCorrect;

    Container GroupCalendar; // " Календарь : "
    Field<QTime> TimePicker;
    DateField DatePicker;
    BoolField CheckBoxClock;

    Container GroupStatus; // " Статус : "
    Field<QStringList> Memo1;
    BoolField RadioTStatus;
    BoolField RadioRStatus;

    Container GroupBox2; // " Установки для записи "
    TextField LabeledPass2;
    TextField LabeledPass1;
    BoolField CheckStatus;
    BoolField CheckAddr;
    BoolField CheckShedule;
    BoolField CheckIndi;
    BoolField CheckTime;
    BoolField CheckDDM;
    BoolField CheckPassword;
    BoolField CheckResetTariff;

    Container GroupSchedule; // " РДЧ : "
    BoolField CheckReadTarif;
    IntField SpinDay;
    IntField SpinHour;

    Container GroupBox4; // " Индикация "
    BoolField CheckNoIndi;
    BoolField CheckBox1;
    BoolField CheckBox2;
    BoolField CheckBox3;
    BoolField CheckBox4;

    Container GroupBox8; // " Номера ДДМ "
    BoolField CheckDdmRead;
    IntField SpinEditA;
    IntField SpinEditB;
    IntField SpinEditC;
    TextField LabelA;
    TextField LabelB;
    TextField LabelC;

    // Page "Показания".
    Container TabSheet3;
    Field<ReadingsGrid> GridValue;
    Field<ReadingsGrid> GridValue_1;
    Action BitBtn5; // "Сброс показаний на расчетный день"

    // Commands of the action list that belong to this subsystem.
    Action ActionSetting;
    Action ActionPlusDDM;
    Action ActionMinusDDM;

    // Hidden state.
    qint32 StatusWord = 0;
    qint32 RadioStatus = 0;
    double DriftSum = 0;
    qint32 DriftCount = 0;
    QDateTime LastClockSet; // invalid: no station has set this meter's clock
    // The factory number has been read since the last ClearMeterData: what a record of this
    // meter names is the meter's, not the blank of a cleared page.
    bool identityRead = false;
    // The date and time the latest settings write sent to the meter's clock, if it sent one.
    std::optional<QDateTime> clockWritten;

    std::array<IntField *, 3> ddmSpins() { return {&SpinEditA, &SpinEditB, &SpinEditC}; }
    std::array<TextField *, 3> ddmLabels() { return {&LabelA, &LabelB, &LabelC}; }
    std::array<BoolField *, 4> indicationBoxes() { return {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4}; }
    std::array<const BoolField *, 4> indicationBoxes() const
    {
        return {&CheckBox1, &CheckBox2, &CheckBox3, &CheckBox4};
    }
    quint8 indicationMask() const;

    // Blanks the displayed meter data and clears every edited mark of "Установка".
    void ClearMeterData();
    // Change of the factory number: the mark, and in database mode the address from it.
    void SpinEdit_NumberChange();
    void ActionPlusDDMExecute() { shiftDdm(3); }
    void ActionMinusDDMExecute() { shiftDdm(-3); }
    void RadioTStatusClick();
    void RadioRStatusClick();

    // Controls that exist only for meters above version 9.
    void setExtendedControlsVisible(bool visible);

Q_SIGNALS:
    // Every version reply: true when the meter is above version 9. The schedule page shows
    // StringAttrib, GroupCel, GroupTransfer and BtnTemplet by it.
    void extendedVersionChanged(bool extended);
    // Last step of ClearMeterData: the page moves the focus when it is the active page.
    void serialNumberFocusRequested();

private:
    void shiftDdm(int delta);

    Modes modes_;
};

} // namespace ordan
