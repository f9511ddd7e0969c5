#pragma once

#include "records/local_table.h"

namespace ordan {

// The settings log in memory, for tests of the record workflows. It presents values as
// the file does: every column of kSettingColumns, values of the column's type, text cut
// to the width a new table gives it.
class MemoryLocalTable final : public LocalTable {
public:
    Status append(const LocalRow &values) override;
    Result<QList<LocalRow>> select(const LocalFilter &filter) const override;
    Result<QVariant> maxNumber() const override;
    Result<LatestDay> latestDay() const override;
    Result<qsizetype> rowCount() const override;

    // Rows as stored, in order; a test may also seed them directly (zones, times...).
    QList<LocalRow> rows;
    // When not empty, every operation fails with this text (a missing or read-only file).
    QString failure;
    int appendCalls = 0;

private:
    Status status() const;
};

} // namespace ordan
