#pragma once

// Normal mode's use of the local settings log: the row of every finished write, the next
// factory number of the "+" button, and the start-up defaults from the latest record.

#include "records/local_table.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QVariant>

#include <array>
#include <functional>

namespace ordan {

class Background;
class MeterParameters;
class Operator;
class ScheduleModel;
class SystemFacts;

// Which settings the finished write sent. A setting not sent is recorded as null.
struct LocalWriteSelections {
    bool clock = false;       // CheckTime: c_date, c_time, summer
    bool newPassword = false; // CheckPassword: pass
    bool address = false;     // CheckAddr: address
    bool billing = false;     // CheckShedule: count_day, count_hour
    bool ddm = false;         // CheckDDM: ddm_a, ddm_b, ddm_c
    bool indication = false;  // CheckIndi: indicator
    bool statusReset = false; // CheckStatus: reset (false, never null, when not sent)

    // The write selections as the controls hold them now.
    static LocalWriteSelections FromControls(const MeterParameters &p);
};

// A display text read as an integer; 0 when it is not one.
qint64 IntegerOrZero(const QString &text);

// The six readings in the order t_1_c, t_2_c, t_3_c (rows 1..3 of GridValue), t_1_1,
// t_2_1, t_3_1 (GridValue_1), read as numbers in `locale`. Conversion stops at the first
// cell that is not a number: that one and all after it are null.
std::array<QVariant, 6> RecordedReadings(const MeterParameters &p, const QLocale &locale = QLocale());
inline constexpr std::array<const char *, 6> kReadingColumns = {"t_1_c", "t_2_c", "t_3_c", "t_1_1", "t_2_1", "t_3_1"};

// The row RecordLocal appends: what was written (null where not sent), what was read just
// before, and when it was recorded. correct and the zone columns are left out (null).
LocalRow LocalRecordRow(const MeterParameters &p, const LocalWriteSelections &sent, const QDateTime &now,
                        const QLocale &locale = QLocale());

// The append and the "+" button's maximum run on the records' worker: an append may wait for
// another program's lock on a shared table, and neither the polling nor the window waits with
// it. Both go through the worker's queue, so "+" reads the table after the rows recorded
// before it. The start-up read takes no lock and stays on the window's thread.
class LocalRecorder final : public QObject {
    Q_OBJECT
public:
    // reportError: the station's general error report. `table` is touched by `worker`'s jobs
    // and, for reads that take no lock, by the window's thread.
    LocalRecorder(LocalTable &table, Background &worker, MeterParameters &p, ScheduleModel &schedule, Operator &op,
                  SystemFacts &facts, std::function<void(const QString &)> reportError);

    // FinishWrite's record in normal mode; runs before ClearMeterData, since it takes the
    // displayed values at once. A failure is the operator's box "Ошибка записи в БД: ..." and
    // nothing else: the row is lost, the caller goes on.
    void RecordLocal();
    void RecordLocal(const LocalWriteSelections &sent);
    // The same in two steps: the row as the fields hold it now, appended later.
    LocalRow takeRow() const;
    void append(LocalRow row);

    // Makes BitBtn1 ("+") run BitBtn1Click. Normal mode only: database mode has its own.
    void installPlusButton();
    // "+": MAX(c_number) + 1, as if typed, so the next write programs it.
    void BitBtn1Click();

    // Start-up step: the zones and indication of the first row of the latest day. False
    // when the table could not be read (the general error report has been shown).
    bool LoadRecordDefaults();

private:
    void proposeAfter(const Result<QVariant> &max);

    LocalTable &table_;
    Background &worker_;
    MeterParameters &p_;
    ScheduleModel &schedule_;
    Operator &operator_;
    SystemFacts &facts_;
    std::function<void(const QString &)> reportError_;
};

} // namespace ordan
