#include "records/local_table_memory.h"

namespace ordan {

Status MemoryLocalTable::status() const
{
    if (failure.isEmpty())
        return {};
    return Fail(failure);
}

Status MemoryLocalTable::append(const LocalRow &values)
{
    ++appendCalls;
    if (const Status s = status(); !s)
        return s;
    LocalRow row = PresentRow({});
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const SettingColumn *c = FindSettingColumn(it.key());
        if (!c) {
            if (IsNullValue(it.value()))
                continue;
            return Fail(QStringLiteral("В таблице нет столбца %1").arg(it.key()));
        }
        auto v = PresentValue(c->type, it.value());
        if (!v) {
            return Fail(
                QStringLiteral("Значение %1 не подходит для столбца %2").arg(it.value().toString(), ColumnName(*c)));
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
    return {};
}

Result<QList<LocalRow>> MemoryLocalTable::select(const LocalFilter &filter) const
{
    if (const Status s = status(); !s)
        return s.failure();
    QList<LocalRow> out;
    for (const LocalRow &r : rows) {
        const LocalRow row = PresentRow(r);
        if (RowPassesFilter(row, filter))
            out.append(row);
    }
    return out;
}

Result<QVariant> MemoryLocalTable::maxNumber() const
{
    if (const Status s = status(); !s)
        return s.failure();
    LocalSummary summary;
    for (const LocalRow &r : rows)
        summary.add(PresentRow(r));
    return summary.maxNumber();
}

Result<LatestDay> MemoryLocalTable::latestDay() const
{
    if (const Status s = status(); !s)
        return s.failure();
    LocalSummary summary;
    for (const LocalRow &r : rows)
        summary.add(PresentRow(r));
    return summary.latestDay();
}

Result<qsizetype> MemoryLocalTable::rowCount() const
{
    if (const Status s = status(); !s)
        return s.failure();
    return rows.size();
}

} // namespace ordan
