#include "records/central_record.h"

#include "meter/meter_parameters.h"

namespace ordan {

namespace {

int IntegerOrZero(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok ? n : 0;
}

} // namespace

std::optional<double> ShownDecimal(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(trimmed, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

OperationRecord OperationRecordFromControls(const MeterParameters &p, bool withSettings, const QLocale &locale)
{
    OperationRecord r;
    r.version = p.LabeledVersion.value();
    r.turn_on = IntegerOrZero(p.EditOff.value());
    // A negative word is the "decode the next one" marker of the status view, not a status.
    r.status = p.StatusWord < 0 ? 0 : p.StatusWord;
    r.ncorrect = IntegerOrZero(p.LabeledNCorrect.value());

    // Tariffs 1..3 of both grids in this order; the first cell that is no number ends them.
    std::optional<double> *readings[] = {&r.t_1_c, &r.t_2_c, &r.t_3_c, &r.t_1_1, &r.t_2_1, &r.t_3_1};
    const ReadingsGrid *grids[] = {&p.GridValue.value(), &p.GridValue_1.value()};
    for (size_t i = 0; i < 6; ++i) {
        const std::optional<double> value = ShownDecimal((*grids[i / 3])[i % 3 + 1][1], locale);
        if (!value)
            break;
        *readings[i] = value;
    }

    r.secperday = ShownDecimal(p.LabeledDelta.value(), locale);
    if (!withSettings)
        return r;

    r.reset = p.CheckStatus.value();
    if (p.CheckAddr.value())
        r.address = p.SpinNewAddr.value();
    if (p.CheckIndi.value())
        r.indicator = p.indicationMask();
    if (p.CheckTime.value()) {
        r.date_time = p.clockWritten.value_or(QDateTime(p.DatePicker.value(), p.TimePicker.value()));
        r.summer = p.CheckBoxClock.value();
    }
    if (p.CheckPassword.value())
        r.pass = IntegerOrZero(p.LabeledPass1.value());
    if (p.CheckShedule.value()) {
        r.count_day = p.SpinDay.value();
        r.count_hour = p.SpinHour.value();
    }
    if (p.CheckDDM.value()) {
        r.ddm_a = p.SpinEditA.value();
        r.ddm_b = p.SpinEditB.value();
        r.ddm_c = p.SpinEditC.value();
    }
    return r;
}

QString IdentificationStopText(Identification::Missing missing, const QString &computerName, const QString &login)
{
    const QString quote = QStringLiteral("\"");
    switch (missing) {
    case Identification::Missing::Computer:
        return QStringLiteral("Компьютер ") + quote + computerName + quote + QStringLiteral(" не описан в БД.");
    case Identification::Missing::Operator:
        return QStringLiteral("Пользователь ") + quote + login + quote + QStringLiteral(" не описан в БД.");
    case Identification::Missing::Plant: return QStringLiteral("Установка не описана в БД.");
    case Identification::Missing::None: break;
    }
    return {};
}

} // namespace ordan
