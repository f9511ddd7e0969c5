#pragma once

// The workbook as data, and its Excel 97 bytes: building the BIFF8 workbook stream and the
// compound file around it, and reading them back. Pure: no files, no Qt event loop.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <compare>
#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace ordan {

// Limits of an Excel 97 worksheet and cell.
constexpr int kXlsMaxRows = 65536;
constexpr int kXlsMaxColumns = 256;
constexpr int kXlsMaxTextLength = 32767;

// Cell position counted from 0, as the records store it.
struct XlsCellRef {
    int row = 0;
    int column = 0;
    auto operator<=>(const XlsCellRef &) const = default;
};

// A date: a number of days that the cell shows in the date format.
struct XlsDate {
    QDate date;
    bool operator==(const XlsDate &) const = default;
};

// The serial day number of a date (days from 1899-12-30, the count Excel's dates use from
// March 1900 on); nothing for a date before 1900-03-01 or after 9999-12-31.
std::optional<double> XlsDateSerial(const QDate &date);

using XlsValue = std::variant<QString, double, XlsDate>;

struct XlsSheet {
    QString name;
    QString header; // page header and footer in Excel's &-code notation
    QString footer;
    std::map<XlsCellRef, XlsValue> cells; // ordered by row, then column: the order records need
};

struct XlsBook {
    std::vector<XlsSheet> sheets; // all worksheets; the first one is the active one
};

// Centred sheet name, and centred "Страница" with the page number, in Times New Roman 12.
QString XlsDefaultHeader();
QString XlsDefaultFooter();

// The blank workbook the export starts from: "Лист1", "Лист2", "Лист3", empty, with the
// default header and footer.
XlsBook BlankXlsBook();

// The BIFF8 workbook stream of a book.
QByteArray BuildWorkbookStream(const XlsBook &book);
// The whole .xls file: the workbook stream in its compound file.
QByteArray BuildXlsFile(const XlsBook &book);

// Reads sheets, cells, headers and footers back from a workbook stream or a whole file.
// Formatting is not kept. Anything not understood, or damaged, fails with the reason.
Result<XlsBook> ParseWorkbookStream(QByteArrayView stream);
Result<XlsBook> ParseXlsFile(QByteArrayView file);

} // namespace ordan
