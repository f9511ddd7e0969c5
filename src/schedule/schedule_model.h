#pragma once

#include "core/field.h"
#include "schedule/holidays.h"
#include "schedule/schedule_exchange.h"
#include "schedule/tariff_schedule.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QTime>

#include <array>
#include <functional>
#include <optional>

namespace ordan {

class Engine;
class Operator;
class SystemFacts;

// A zone picker: hour and minute only; an invalid time is midnight.
class ZoneTimeField final : public Field<QTime> {
public:
    ZoneTimeField(const QString &name, QObject *parent, QTime initial)
        : Field<QTime>(name, parent, ZoneStartOf(initial))
    {}

protected:
    QTime constrain(const QTime &t) const override { return ZoneStartOf(t); }
};

// The holiday day field: 1 .. a maximum that follows the month; a day above a lowered
// maximum is lowered at once.
class DayOfMonthField final : public Field<int> {
public:
    DayOfMonthField(const QString &name, QObject *parent) : Field<int>(name, parent, 1) {}
    int minimum() const { return 1; }
    int maximum() const { return maximum_; }
    void setMaximum(int maximum);

protected:
    int constrain(const int &v) const override { return qBound(1, v, maximum_); }

private:
    int maximum_ = 31;
};

// The transfer date picker: dates the meter can hold (2000..2099).
class TransferDateField final : public Field<QDate> {
public:
    TransferDateField(const QString &name, QObject *parent, QDate initial) : Field<QDate>(name, parent, Bound(initial))
    {}
    static QDate Bound(QDate d);

protected:
    QDate constrain(const QDate &d) const override { return Bound(d); }
};

// The page "Тарифное расписание": the schedule held in its controls, the editor's rules,
// and the read and write exchange with the meter. Field names are the window's control names.
class ScheduleModel final : public QObject {
    Q_OBJECT
public:
    // accessPassword: the text of the access password field of the page "Установка".
    ScheduleModel(Engine &engine, Operator &op, SystemFacts &facts, std::function<QString()> accessPassword,
                  QObject *parent = nullptr);
    ~ScheduleModel() override;

    Container TabSchedule;
    BoolField CheckOneTarif;
    Action BtnReadSchedule;
    Action BtnWriteSchedule;
    Action BtnTemplet;

    Container GroupTariff;
    TextField LabelTime;
    Field<std::array<QString, kZoneCount>> ValueListEditor1; // tariffs as shown, zone 0 first
    ZoneTimeField Picker_Zone0;
    ZoneTimeField Picker_Zone1;
    ZoneTimeField Picker_Zone2;
    ZoneTimeField Picker_Zone3;
    ZoneTimeField Picker_Zone4;
    ZoneTimeField Picker_Zone5;
    Field<MaskTable> StringAttrib; // row z + 1 of the grid is the mask of zone z

    Container GroupCel;
    Container Panel7;
    TextField LabelMonth;
    Field<int> ComboM; // month index 0..11
    TextField LabelDay;
    DayOfMonthField SpinD;
    Action BtnInsCel;
    Action BtnDelCel;
    Field<QList<HolidayEntry>> ListCel;

    Container GroupTransfer;
    Container PanelTrans;
    TransferDateField DTPTrans;
    TextField LabelTrans;
    Field<int> ComboTrans; // day type - 1
    Action BtnInsTrans;
    Action BtnDelTrans;
    Field<QList<TransferEntry>> ListTransfer;

    Field<QTime> &picker(int zone) { return *pickers_[static_cast<size_t>(zone)]; }
    const Field<QTime> &picker(int zone) const { return *pickers_[static_cast<size_t>(zone)]; }

    // The schedule as the controls hold it; setSchedule is the station's own write (no
    // propagation, no edit).
    TariffSchedule schedule() const;
    void setSchedule(const TariffSchedule &s);

    // Operator edits.
    void setZoneStart(int zone, QTime t); // with the propagation rule
    void setZoneTariff(int zone, const QString &tariff);
    void StringAttribSelectCell(int col, int row); // row 0 is the title row
    void selectHolidays(const QList<int> &rows);
    void selectTransfers(const QList<int> &rows);
    const QList<int> &holidaySelection() const { return holidaySelection_; }
    const QList<int> &transferSelection() const { return transferSelection_; }

    // Handlers of the buttons (also run by executing their actions).
    void BtnInsCelClick();
    void BtnDelCelClick();
    void BtnTempletClick();
    void BtnInsTransClick();
    void BtnDelTransClick();
    void BtnReadScheduleClick();
    void BtnWriteScheduleClick();

    // What the station tells the page.
    void setConnected(bool connected);        // connect / disconnect
    void applyMeterVersion(int meterVersion); // every version reply
    void presetSingleTariff(bool on);         // stored records at start
    void presetZone(int zone, const QString &tariff, QTime start);

    // The code 9 request for the settings write ("Записать РДЧ"), from the controls as they are.
    EncodedRequest zoneTableRequest() const;
    // The same for the settings writer's hook: nothing when the zones cannot be encoded, after
    // the operator has been told why.
    std::optional<QByteArray> scheduleZonesBody();

    // The reply decoders this page installs on the engine.
    void decodeZoneTable(const QByteArray &reply);
    void decodeMasks(const QByteArray &reply);
    void decodeHoliday(const QByteArray &reply);
    void decodeTransfer(const QByteArray &reply);

Q_SIGNALS:
    void holidaySelectionChanged();
    void transferSelectionChanged();

private:
    void applyEnablingRule();
    void updateListButtons();
    void setZones(const ZoneTable &zones);
    ZoneTable zones() const;
    QDate today() const;

    Engine &engine_;
    Operator &operator_;
    SystemFacts &facts_;
    std::function<QString()> accessPassword_;
    std::array<ZoneTimeField *, kZoneCount> pickers_;
    QList<int> holidaySelection_;
    QList<int> transferSelection_;
};

} // namespace ordan
