#pragma once

#include "journals/journal_export.h"
#include "xls/xls_workbook.h"

namespace ordan {

// The export's files on disk and its workbook in the Excel 97 writer.
class XlsExportFiles final : public ExportFiles {
public:
    bool exists(const QString &path) const override;
    Status remove(const QString &path) override;
    Status createBlank(const QString &path) override;
    Status open(const QString &path) override;
    bool setText(int row, int column, const QString &text) override;
    bool setNumber(int row, int column, double number) override;
    bool setDate(int row, int column, const QDate &date) override;
    Status save(const QString &path) override;
    void close() override;
    Status writeFile(const QString &path, const QByteArray &bytes) override;

private:
    XlsWorkbook book_;
};

} // namespace ordan
