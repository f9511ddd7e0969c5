#include "records/local_table_memory.h"

namespace ordan {

bool MemoryLocalTable::failed(QString *error) const
{
    if (failure.isEmpty())
        return false;
    if (error)
        *error = failure;
    return true;
}

bool MemoryLocalTable::append(const LocalRow &values, QString *error)
{
    ++appendCalls;
    if (failed(error))
        return false;
    LocalRow row = PresentRow({});
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const SettingColumn *c = FindSettingColumn(it.key());
        if (!c) {
            if (IsNullValue(it.value()))
                continue;
            if (error)
                *error = QStringLiteral("В таблице нет столбца %1").arg(it.key());
            return false;
        }
        auto v = PresentValue(c->type, it.value());
        if (!v) {
            if (error)
                *error =
                    QStringLiteral("Значение %1 не подходит для столбца %2").arg(it.value().toString(), ColumnName(*c));
            return false;
        }
        if (c->type == SettingType::Text && v->isValid()) {
            // As the file keeps it: cut to the width, blanks on the right dropped, blank = null.
            QString text = v->toString().left(c->length);
            while (!text.isEmpty() && text.back() == QLatin1Char(' '))
                text.chop(1);
            v = text.isEmpty() ? QVariant() : QVariant(text);
        }
        row.insert(ColumnName(*c), *v);
    }
    rows.append(row);
    return true;
}

std::optional<QList<LocalRow>> MemoryLocalTable::select(const LocalFilter &filter, QString *error) const
{
    if (failed(error))
        return std::nullopt;
    QList<LocalRow> out;
    for (const LocalRow &r : rows) {
        const LocalRow row = PresentRow(r);
        if (RowPassesFilter(row, filter))
            out.append(row);
    }
    return out;
}

std::optional<QVariant> MemoryLocalTable::maxNumber(QString *error) const
{
    if (failed(error))
        return std::nullopt;
    LocalSummary summary;
    for (const LocalRow &r : rows)
        summary.add(PresentRow(r));
    return summary.maxNumber();
}

std::optional<LatestDay> MemoryLocalTable::latestDay(QString *error) const
{
    if (failed(error))
        return std::nullopt;
    LocalSummary summary;
    for (const LocalRow &r : rows)
        summary.add(PresentRow(r));
    return summary.latestDay();
}

std::optional<qsizetype> MemoryLocalTable::rowCount(QString *error) const
{
    if (failed(error))
        return std::nullopt;
    return rows.size();
}

} // namespace ordan
