#include "records/local_recorder.h"

#include "core/background.h"
#include "core/operator.h"
#include "core/system_facts.h"
#include "meter/meter_parameters.h"
#include "schedule/schedule_model.h"

#include <cmath>

namespace ordan {

namespace {

QString Column(const char *name) { return QString::fromLatin1(name); }

QString HoursMinutes(const QTime &t) { return t.isValid() ? t.toString(QStringLiteral("hh:mm")) : QString(); }

} // namespace

LocalWriteSelections LocalWriteSelections::FromControls(const MeterParameters &p)
{
    LocalWriteSelections s;
    s.clock = p.CheckTime.value();
    s.newPassword = p.CheckPassword.value();
    s.address = p.CheckAddr.value();
    s.billing = p.CheckShedule.value();
    s.ddm = p.CheckDDM.value();
    s.indication = p.CheckIndi.value();
    s.statusReset = p.CheckStatus.value();
    return s;
}

qint64 IntegerOrZero(const QString &text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok, 10);
    return ok ? n : 0;
}

std::array<QVariant, 6> RecordedReadings(const MeterParameters &p, const QLocale &locale)
{
    // The grids were written in this locale; a thousands separator is never part of them.
    QLocale strict = locale;
    strict.setNumberOptions(strict.numberOptions() | QLocale::RejectGroupSeparator);
    std::array<QVariant, 6> out;
    const ReadingsGrid *grids[2] = {&p.GridValue.value(), &p.GridValue_1.value()};
    size_t i = 0;
    for (const ReadingsGrid *grid : grids) {
        for (size_t row = 1; row <= 3; ++row, ++i) {
            bool ok = false;
            const double v = strict.toDouble((*grid)[row][1].trimmed(), &ok);
            if (!ok || !std::isfinite(v))
                return out;
            out[i] = v;
        }
    }
    return out;
}

LocalRow LocalRecordRow(const MeterParameters &p, const LocalWriteSelections &sent, const QDateTime &now,
                        const QLocale &locale)
{
    LocalRow row;
    auto put = [&row](const char *name, QVariant value) { row.insert(Column(name), std::move(value)); };
    auto putIf = [&put](bool sentIt, const char *name, QVariant value) { put(name, sentIt ? value : QVariant()); };

    put("c_number", p.SpinEdit_Number.value());
    put("version", p.LabeledVersion.value());
    putIf(sent.address, "address", p.SpinNewAddr.value());
    put("turn_on", IntegerOrZero(p.EditOff.value()));
    // -1 only asks the status decoder to show the next reply; it was never received.
    put("status", p.StatusWord < 0 ? 0 : p.StatusWord);
    const QDateTime clock = p.clockWritten.value_or(QDateTime(p.DatePicker.value(), p.TimePicker.value()));
    putIf(sent.clock, "c_date", clock.date());
    putIf(sent.clock, "c_time", HoursMinutes(clock.time()));
    putIf(sent.clock, "summer", p.CheckBoxClock.value());
    put("correct", QVariant());
    putIf(sent.newPassword, "pass", IntegerOrZero(p.LabeledPass1.value()));
    const std::array<QVariant, 6> readings = RecordedReadings(p, locale);
    for (size_t i = 0; i < readings.size(); ++i)
        put(kReadingColumns[i], readings[i]);
    putIf(sent.ddm, "ddm_a", p.SpinEditA.value());
    putIf(sent.ddm, "ddm_b", p.SpinEditB.value());
    putIf(sent.ddm, "ddm_c", p.SpinEditC.value());
    putIf(sent.billing, "count_day", p.SpinDay.value());
    putIf(sent.billing, "count_hour", p.SpinHour.value());
    put("reset", sent.statusReset);
    put("report", false);
    put("date_rec", now.date());
    put("time_rec", HoursMinutes(now.time()));
    put("ncorrect", IntegerOrZero(p.LabeledNCorrect.value()));
    putIf(sent.indication, "indicator", static_cast<int>(p.indicationMask()));
    return row;
}

LocalRecorder::LocalRecorder(LocalTable &table, Background &worker, MeterParameters &p, ScheduleModel &schedule,
                             Operator &op, SystemFacts &facts, std::function<void(const QString &)> reportError)
    : table_(table), worker_(worker), p_(p), schedule_(schedule), operator_(op), facts_(facts),
      reportError_(std::move(reportError))
{}

void LocalRecorder::RecordLocal() { RecordLocal(LocalWriteSelections::FromControls(p_)); }

void LocalRecorder::RecordLocal(const LocalWriteSelections &sent) { append(LocalRecordRow(p_, sent, facts_.now())); }

LocalRow LocalRecorder::takeRow() const
{
    return LocalRecordRow(p_, LocalWriteSelections::FromControls(p_), facts_.now());
}

void LocalRecorder::append(LocalRow row)
{
    RunInBackground<Status>(
        worker_, this, [&table = table_, row = std::move(row)] { return table.append(row); },
        [this](const Status &appended) {
            if (!appended)
                operator_.showMessage(QStringLiteral("Ошибка записи в БД: ") + appended.error(),
                                      QStringLiteral("Ошибка БД"), BoxIcon::Error);
        });
}

void LocalRecorder::installPlusButton()
{
    p_.BitBtn1.setHandler([this] { BitBtn1Click(); });
}

void LocalRecorder::BitBtn1Click()
{
    RunInBackground<Result<QVariant>>(
        worker_, this, [&table = table_] { return table.maxNumber(); },
        [this](const Result<QVariant> &max) { proposeAfter(max); });
}

void LocalRecorder::proposeAfter(const Result<QVariant> &max)
{
    if (!max) {
        reportError_(max.error());
        return;
    }
    // An empty table has no maximum: read as 0, so the first number is 1.
    const double m = IsNullValue(*max) ? 0.0 : max->toDouble();
    const double next = std::round(m) + 1.0;
    const double top = p_.SpinEdit_Number.maximum();
    const double bottom = p_.SpinEdit_Number.minimum();
    // The field keeps its range; edit() runs the change handler, which sets the mark.
    p_.SpinEdit_Number.edit(static_cast<int>(qBound(bottom, next, top)));
}

bool LocalRecorder::LoadRecordDefaults()
{
    const Result<LatestDay> latest = table_.latestDay();
    if (!latest) {
        reportError_(latest.error());
        return false;
    }
    if (!latest->date.isValid() || latest->rows.isEmpty())
        return true;
    const LocalRow &row = latest->rows.front();
    auto value = [&row](const QString &name) { return row.value(name); };
    auto timeOf = [&value](int zone) {
        const QVariant t = value(QStringLiteral("time_%1").arg(zone));
        // A zone without its time starts at midnight, as a null time reads.
        return IsNullValue(t) ? QTime(0, 0) : t.toTime();
    };

    const QVariant zone0 = value(QStringLiteral("zone_0"));
    if (!IsNullValue(zone0)) {
        const bool single = zone0.toInt() == 0;
        schedule_.presetSingleTariff(single);
        if (!single)
            schedule_.presetZone(0, QString::number(zone0.toInt()), timeOf(0));
    }
    for (int zone = 1; zone <= 5; ++zone) {
        const QVariant tariff = value(QStringLiteral("zone_%1").arg(zone));
        if (!IsNullValue(tariff))
            schedule_.presetZone(zone, QString::number(tariff.toInt()), timeOf(zone));
    }

    const QVariant indicator = value(QStringLiteral("indicator"));
    if (!IsNullValue(indicator)) {
        const auto mask = static_cast<int>(std::lround(indicator.toDouble()));
        const auto boxes = p_.indicationBoxes();
        for (size_t bit = 0; bit < boxes.size(); ++bit)
            boxes[bit]->set((mask >> bit) & 1);
    }
    return true;
}

} // namespace ordan
