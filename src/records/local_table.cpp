#include "records/local_table.h"

#include "records/dbf_format.h"

#include <QDateTime>
#include <QTime>

#include <cmath>
#include <limits>

namespace ordan {

std::optional<QTime> ParseTimeOfDay(QStringView text)
{
    const QStringView t = text.trimmed();
    const auto parts = t.split(QLatin1Char(':'));
    if (parts.size() != 2 && parts.size() != 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView p = parts[i];
        if (p.isEmpty() || p.size() > 2)
            return std::nullopt;
        for (QChar c : p) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        values[i] = p.toInt();
    }
    if (values[0] > 23 || values[1] > 59 || values[2] > 59)
        return std::nullopt;
    return QTime(values[0], values[1], values[2]);
}

std::optional<QVariant> PresentValue(SettingType type, const QVariant &value)
{
    if (IsNullValue(value))
        return QVariant();
    switch (type) {
    case SettingType::Float: {
        const auto d = dbf::FiniteNumber(value);
        if (!d)
            return std::nullopt;
        return QVariant(*d);
    }
    case SettingType::SmallInt:
    case SettingType::Integer: {
        const auto d = dbf::FiniteNumber(value);
        if (!d || std::round(*d) < std::numeric_limits<int>::min() || std::round(*d) > std::numeric_limits<int>::max())
            return std::nullopt;
        return QVariant(static_cast<int>(std::lround(*d)));
    }
    case SettingType::Text:
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return QVariant(value.toString());
    case SettingType::Date:
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().isValid() ? std::optional<QVariant>(value) : std::nullopt;
        if (value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid())
            return QVariant(value.toDateTime().date());
        return std::nullopt;
    case SettingType::Logical:
        if (value.typeId() == QMetaType::Bool)
            return value;
        return std::nullopt;
    case SettingType::TimeOfDay:
        if (value.typeId() == QMetaType::QTime)
            return value.toTime().isValid() ? std::optional<QVariant>(value) : std::nullopt;
        if (value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid())
            return QVariant(value.toDateTime().time());
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString();
            if (text.trimmed().isEmpty())
                return QVariant();
            if (const auto t = ParseTimeOfDay(text))
                return QVariant(*t);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

LocalRow PresentRow(const LocalRow &stored)
{
    LocalRow row;
    for (const SettingColumn &c : kSettingColumns)
        row.insert(ColumnName(c), QVariant());
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const SettingColumn *c = FindSettingColumn(it.key());
        if (!c)
            continue;
        row.insert(ColumnName(*c), PresentValue(c->type, it.value()).value_or(QVariant()));
    }
    return row;
}

bool RowPassesFilter(const LocalRow &row, const LocalFilter &filter)
{
    // Null compares false, as in SQL: a row without date_rec never passes.
    const QVariant date = row.value(QStringLiteral("date_rec"));
    if (IsNullValue(date))
        return false;
    const QDate d = date.toDate();
    if (!d.isValid() || d < filter.from || d > filter.to)
        return false;
    if (filter.number > 0) {
        const QVariant number = row.value(QStringLiteral("c_number"));
        if (IsNullValue(number) || number.toDouble() != static_cast<double>(filter.number))
            return false;
    }
    return true;
}

void LocalSummary::add(const LocalRow &row)
{
    ++count_;
    const QVariant number = row.value(QStringLiteral("c_number"));
    if (!IsNullValue(number)) {
        const double n = number.toDouble();
        if (!hasNumber_ || n > maxNumber_)
            maxNumber_ = n;
        hasNumber_ = true;
    }
    const QVariant date = row.value(QStringLiteral("date_rec"));
    if (IsNullValue(date) || !date.toDate().isValid())
        return;
    const QDate d = date.toDate();
    if (!latest_.date.isValid() || d > latest_.date) {
        latest_.date = d;
        latest_.rows.clear();
    }
    if (d == latest_.date)
        latest_.rows.append(row);
}

} // namespace ordan
