#pragma once

// The spreadsheet writer the journal export uses: create a blank workbook, open it, set
// cells on its first sheet, save it in Excel 97 format, close it.

#include "core/result.h"
#include "xls/xls_book.h"

#include <QDate>
#include <QString>

#include <optional>

namespace ordan {

class XlsWorkbook final {
public:
    // Writes the blank workbook (three empty sheets) to `path`; fails when it cannot be created.
    static Status CreateBlank(const QString &path);

    // Reads a workbook for editing, its first sheet active. A file that is not an Excel 97
    // workbook, or is damaged, fails and leaves this object closed.
    Status open(const QString &path);
    bool isOpen() const { return book_.has_value(); }

    // Row and column count from 1, as in the spreadsheet. False, and nothing stored, when no
    // workbook is open or the cell lies outside an Excel 97 sheet; also for a text longer than
    // a cell holds and for a number Excel cannot store (infinite or not a number).
    bool setCell(int row, int column, const QString &text);
    bool setCell(int row, int column, double number);
    // A date shown in the date format; false for a date a workbook cannot hold (before March 1900).
    bool setCell(int row, int column, const QDate &date);

    // Writes the whole workbook to a temporary file beside `path` and renames it over `path`,
    // so a failure never leaves a half-written file behind.
    Status save(const QString &path) const;

    void close() { book_.reset(); }

    // The open workbook, for inspection; null when closed.
    const XlsBook *book() const { return book_ ? &*book_ : nullptr; }

private:
    bool store(int row, int column, XlsValue value);

    std::optional<XlsBook> book_;
};

// Writes bytes to `path` through a temporary file in the same directory.
Status WriteFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace ordan
