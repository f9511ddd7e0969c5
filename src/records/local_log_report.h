#pragma once

// The shift report of the page "База данных": the rows the filter shows, as the grid shows
// them, for the workbook export.

#include "journals/journal_export.h"
#include "records/local_table.h"

#include <QList>
#include <QString>

namespace ordan {

// Row 0 the grid's column titles, then one row per record: numbers as numbers, dates as dates,
// texts as texts; "Сброс" as "да" / "нет" like "Летн. время"; null cells empty.
TypedExportTable LocalLogReportTable(const QList<LocalRow> &rows);

// "Записи установок с 08.12.2026 по 09.12.2026", and ", счетчик № 1234" when the filter
// names a meter.
QString LocalLogReportTitle(const LocalFilter &filter);

} // namespace ordan
