#include "records/local_log_report.h"

#include "records/local_log_view.h"
#include "records/setting_table.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

ExportCell ReportCell(const LocalRow &row, int column)
{
    const QVariant v = LocalLogCell(row, column);
    if (IsNullValue(v))
        return std::monostate{};
    const std::u16string_view name = kSettingViewColumns[static_cast<size_t>(column)].name;
    const SettingColumn *stored =
        name == kSumerCorrect ? nullptr
                              : FindSettingColumn(QStringView(name.data(), static_cast<qsizetype>(name.size())));
    if (!stored)
        return v.toString();
    switch (stored->type) {
    case SettingType::Float:
    case SettingType::SmallInt:
    case SettingType::Integer: return v.toDouble();
    case SettingType::Date: return v.toDate();
    case SettingType::Logical: return SumerCorrectText(v);
    case SettingType::TimeOfDay:
    case SettingType::Text: return LocalLogCellText(row, column);
    }
    return std::monostate{};
}

} // namespace

TypedExportTable LocalLogReportTable(const QList<LocalRow> &rows)
{
    const int columns = static_cast<int>(kSettingViewColumns.size());
    TypedExportTable table;
    table.reserve(rows.size() + 1);
    QList<ExportCell> titles;
    for (const SettingViewColumn &c : kSettingViewColumns)
        titles.append(QString(reinterpret_cast<const QChar *>(c.title.data()), static_cast<qsizetype>(c.title.size())));
    table.append(std::move(titles));
    for (const LocalRow &row : rows) {
        QList<ExportCell> cells;
        cells.reserve(columns);
        for (int c = 0; c < columns; ++c)
            cells.append(ReportCell(row, c));
        table.append(std::move(cells));
    }
    return table;
}

QString LocalLogReportTitle(const LocalFilter &filter)
{
    const QString format = u"dd.MM.yyyy"_s;
    QString title = u"Записи установок с "_s + filter.from.toString(format) + u" по "_s + filter.to.toString(format);
    if (filter.number > 0)
        title += u", счетчик № "_s + QString::number(filter.number);
    return title;
}

} // namespace ordan
