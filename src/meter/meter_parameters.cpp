#include "meter/meter_parameters.h"

#include <limits>

namespace ordan {

namespace {

ReadingsGrid TitledGrid()
{
    ReadingsGrid g;
    g[0] = {QStringLiteral("тариф"), QStringLiteral("показания")};
    g[1][0] = QStringLiteral("1 тариф");
    g[2][0] = QStringLiteral("2 тариф");
    g[3][0] = QStringLiteral("3 тариф");
    g[4][0] = QStringLiteral("сумма");
    return g;
}

} // namespace

MeterParameters::MeterParameters(const Modes &modes, QObject *parent)
    : QObject(parent), TabSheet1(QStringLiteral("TabSheet1"), this), GroupBox1(QStringLiteral("GroupBox1"), &TabSheet1),
      SpinEdit_Number(QStringLiteral("SpinEdit_Number"), &GroupBox1, 0, 0, 131071),
      BitBtn1(QStringLiteral("BitBtn1"), &GroupBox1, QStringLiteral("+")),
      SpinNewAddr(QStringLiteral("SpinNewAddr"), &GroupBox1, 1, 0, 255),
      LabeledVersion(QStringLiteral("LabeledVersion"), &GroupBox1),
      LabeledCurTime(QStringLiteral("LabeledCurTime"), &GroupBox1),
      CheckSummer(QStringLiteral("CheckSummer"), &GroupBox1, false),
      LabeledDelta(QStringLiteral("LabeledDelta"), &GroupBox1), EditOff(QStringLiteral("EditOff"), &GroupBox1),
      LabeledOff(QStringLiteral("LabeledOff"), &GroupBox1),
      LabeledNCorrect(QStringLiteral("LabeledNCorrect"), &GroupBox1),
      GroupCalendar(QStringLiteral("GroupCalendar"), &TabSheet1),
      TimePicker(QStringLiteral("TimePicker"), &GroupCalendar, QTime(0, 0)),
      DatePicker(QStringLiteral("DatePicker"), &GroupCalendar, DateField::minimumDate()),
      CheckBoxClock(QStringLiteral("CheckBoxClock"), &GroupCalendar, false),
      GroupStatus(QStringLiteral("GroupStatus"), &TabSheet1), Memo1(QStringLiteral("Memo1"), &GroupStatus),
      RadioTStatus(QStringLiteral("RadioTStatus"), &GroupStatus, true),
      RadioRStatus(QStringLiteral("RadioRStatus"), &GroupStatus, false),
      GroupBox2(QStringLiteral("GroupBox2"), &TabSheet1),
      LabeledPass2(QStringLiteral("LabeledPass2"), &GroupBox2, QStringLiteral("1")),
      LabeledPass1(QStringLiteral("LabeledPass1"), &GroupBox2, QStringLiteral("1")),
      CheckStatus(QStringLiteral("CheckStatus"), &GroupBox2, false),
      CheckAddr(QStringLiteral("CheckAddr"), &GroupBox2, modes.SqlMode),
      CheckShedule(QStringLiteral("CheckShedule"), &GroupBox2, false),
      CheckIndi(QStringLiteral("CheckIndi"), &GroupBox2, false),
      CheckTime(QStringLiteral("CheckTime"), &GroupBox2, true), CheckDDM(QStringLiteral("CheckDDM"), &GroupBox2, false),
      CheckPassword(QStringLiteral("CheckPassword"), &GroupBox2, false),
      CheckResetTariff(QStringLiteral("CheckResetTariff"), &GroupBox2, false),
      GroupSchedule(QStringLiteral("GroupSchedule"), &TabSheet1),
      CheckReadTarif(QStringLiteral("CheckReadTarif"), &GroupSchedule, true),
      SpinDay(QStringLiteral("SpinDay"), &GroupSchedule, 1, 1, 31),
      SpinHour(QStringLiteral("SpinHour"), &GroupSchedule, 0, 0, 23),
      GroupBox4(QStringLiteral("GroupBox4"), &TabSheet1), CheckNoIndi(QStringLiteral("CheckNoIndi"), &GroupBox4, true),
      CheckBox1(QStringLiteral("CheckBox1"), &GroupBox4, false),
      CheckBox2(QStringLiteral("CheckBox2"), &GroupBox4, false),
      CheckBox3(QStringLiteral("CheckBox3"), &GroupBox4, false),
      CheckBox4(QStringLiteral("CheckBox4"), &GroupBox4, false), GroupBox8(QStringLiteral("GroupBox8"), &TabSheet1),
      CheckDdmRead(QStringLiteral("CheckDdmRead"), &GroupBox8, true),
      SpinEditA(QStringLiteral("SpinEditA"), &GroupBox8, 0, 0, 0),
      SpinEditB(QStringLiteral("SpinEditB"), &GroupBox8, 0, 0, 0),
      SpinEditC(QStringLiteral("SpinEditC"), &GroupBox8, 0, 0, 0), LabelA(QStringLiteral("LabelA"), &GroupBox8),
      LabelB(QStringLiteral("LabelB"), &GroupBox8), LabelC(QStringLiteral("LabelC"), &GroupBox8),
      TabSheet3(QStringLiteral("TabSheet3"), this),
      GridValue(QStringLiteral("GridValue"), &TabSheet3, TitledGrid(), FieldBase::Kind::Grid),
      GridValue_1(QStringLiteral("GridValue_1"), &TabSheet3, TitledGrid(), FieldBase::Kind::Grid),
      BitBtn5(QStringLiteral("BitBtn5"), &TabSheet3, QStringLiteral("Сброс показаний на расчетный день")),
      ActionSetting(QStringLiteral("ActionSetting"), this, QStringLiteral("&Записать"),
                    QStringLiteral("Записать установки"), QStringLiteral("F12")),
      ActionPlusDDM(QStringLiteral("ActionPlusDDM"), this, {}, {}, QStringLiteral("Ctrl+A")),
      ActionMinusDDM(QStringLiteral("ActionMinusDDM"), this, {}, {}, QStringLiteral("Ctrl+D")), modes_(modes)
{
    // The shared change handler SpinEdit_AddrChange: the operator's change marks the control.
    SpinNewAddr.markOnEdit();
    CheckBoxClock.markOnEdit();
    CheckSummer.markOnEdit();
    LabeledDelta.markOnEdit();
    SpinDay.markOnEdit();
    SpinHour.markOnEdit();
    for (BoolField *box : indicationBoxes())
        box->markOnEdit();
    for (IntField *spin : ddmSpins())
        spin->markOnEdit();
    TimePicker.markOnEdit();
    DatePicker.markOnEdit();
    SpinEdit_Number.setEditHandler([this] { SpinEdit_NumberChange(); });
    RadioTStatus.setEditHandler([this] { RadioTStatusClick(); });
    RadioRStatus.setEditHandler([this] { RadioRStatusClick(); });
    ActionPlusDDM.setHandler([this] { ActionPlusDDMExecute(); });
    ActionMinusDDM.setHandler([this] { ActionMinusDDMExecute(); });

    // The meter's own summer-time flag is shown, never edited.
    CheckSummer.setEnabled(false);
    EditOff.setVisible(false);
    LabeledDelta.setVisible(modes_.SqlMode);
    CheckResetTariff.setVisible(modes_.SqlMode);
    BitBtn1.setVisible(modes_.engineering());
    ActionSetting.setEnabled(false);
}

quint8 MeterParameters::indicationMask() const
{
    quint8 mask = 0;
    const auto boxes = indicationBoxes();
    for (int bit = 0; bit < 4; ++bit)
        if (boxes[static_cast<size_t>(bit)]->value())
            mask |= static_cast<quint8>(1u << bit);
    return mask;
}

void MeterParameters::ClearMeterData()
{
    SpinEdit_Number.set(0);
    for (TextField *t : {&LabeledCurTime, &LabeledNCorrect, &LabeledOff, &LabeledVersion, &LabelA, &LabelB, &LabelC})
        t->set({});
    CheckSummer.set(false);
    SpinEdit_Number.setEnabled(true);
    BitBtn1.setEnabled(true);
    ClearEditMarks(&TabSheet1);
    StatusWord = 0;
    RadioStatus = 0;
    DriftSum = 0;
    DriftCount = 0;
    Memo1.set({});
    LastClockSet = QDateTime();
    identityRead = false;
    clockWritten.reset();
    Q_EMIT serialNumberFocusRequested();
}

void MeterParameters::SpinEdit_NumberChange()
{
    SpinEdit_Number.setMark(1);
    const int number = SpinEdit_Number.value();
    if (SpinEdit_Number.isEnabled() && number > 0 && modes_.SqlMode && CheckAddr.value())
        SpinNewAddr.set(number % 100);
}

void MeterParameters::RadioTStatusClick()
{
    // The kept value -1 never matches a reply, so the next full status is decoded.
    if (!RadioTStatus.value())
        return;
    RadioRStatus.set(false);
    StatusWord = -1;
}

void MeterParameters::RadioRStatusClick()
{
    if (!RadioRStatus.value())
        return;
    RadioTStatus.set(false);
    RadioStatus = -1;
}

void MeterParameters::setExtendedControlsVisible(bool visible)
{
    for (TextField *t : ddmLabels())
        t->setVisible(visible);
    Q_EMIT extendedVersionChanged(visible);
}

void MeterParameters::shiftDdm(int delta)
{
    if (!modes_.SqlMode)
        return;
    for (IntField *spin : ddmSpins()) {
        // No range of its own, but never past what the spin edit can hold.
        const qint64 next = static_cast<qint64>(spin->value()) + delta;
        constexpr qint64 lowest = std::numeric_limits<int>::min();
        constexpr qint64 highest = std::numeric_limits<int>::max();
        spin->edit(static_cast<int>(qBound(lowest, next, highest)));
    }
}

} // namespace ordan
