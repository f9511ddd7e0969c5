#pragma once

// The seam between the record workflows and the local settings log Setting.DBF.

#include "core/result.h"
#include "records/setting_table.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTime>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace ordan {

// One row: lower-case column name -> value. Rows read back hold every column of
// kSettingColumns with the value type of its SettingType; an invalid QVariant is null.
using LocalRow = QVariantMap;

// The filter of the page "База данных": from <= date_rec <= to, and c_number = number
// when number > 0.
struct LocalFilter {
    QDate from;
    QDate to;
    qint64 number = 0;
};

// MAX(date_rec) and the rows of that day in the table's stored order; date is invalid
// (and rows empty) when no row has a date_rec.
struct LatestDay {
    QDate date;
    QList<LocalRow> rows;
};

class LocalTable {
public:
    virtual ~LocalTable() = default;

    // Appends one row. Keys are column names in any case; a missing key or an invalid
    // QVariant stores null. When this succeeds the row is on disk.
    virtual Status append(const LocalRow &values) = 0;

    // The rows that pass the filter, in stored order.
    virtual Result<QList<LocalRow>> select(const LocalFilter &filter) const = 0;

    // MAX(c_number): a double, or an invalid QVariant when no row has one.
    virtual Result<QVariant> maxNumber() const = 0;

    virtual Result<LatestDay> latestDay() const = 0;

    virtual Result<qsizetype> rowCount() const = 0;
};

inline bool IsNullValue(const QVariant &v) { return !v.isValid() || v.isNull(); }

// A value as the column presents it: the value type of `type`, an invalid QVariant for
// null, std::nullopt when the value cannot be one of that type.
std::optional<QVariant> PresentValue(SettingType type, const QVariant &value);

// "hh:nn" or "hh:nn:ss" (hours 0..23); nullopt for anything else.
std::optional<QTime> ParseTimeOfDay(QStringView text);

// The row with a key for every column of kSettingColumns, values from `stored` (keys
// any case) presented by PresentValue; a value that cannot be presented reads as null.
LocalRow PresentRow(const LocalRow &stored);

bool RowPassesFilter(const LocalRow &row, const LocalFilter &filter);

// Folds rows, in stored order, into the answers of the aggregate queries.
class LocalSummary {
public:
    void add(const LocalRow &row);

    qsizetype count() const { return count_; }
    QVariant maxNumber() const { return hasNumber_ ? QVariant(maxNumber_) : QVariant(); }
    const LatestDay &latestDay() const { return latest_; }

private:
    qsizetype count_ = 0;
    bool hasNumber_ = false;
    double maxNumber_ = 0;
    LatestDay latest_;
};

} // namespace ordan
