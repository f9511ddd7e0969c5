#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace ordan {

class Operator;
class SystemFacts;

// A rectangle of cell texts, row 0 the column titles.
using ExportTable = QList<QStringList>;

// A table whose cells already carry their kind: nothing (an empty cell), text, number, date.
using ExportCell = std::variant<std::monostate, QString, double, QDate>;
using TypedExportTable = QList<QList<ExportCell>>;

// What the export needs of the file system and of the spreadsheet writer. Rows and columns
// count from 1, as in the spreadsheet; cells go to the first sheet of the open workbook. A
// failure of a file names the file, the step that failed and the system's reason.
class ExportFiles {
public:
    virtual ~ExportFiles() = default;
    virtual bool exists(const QString &path) const = 0;
    virtual Status remove(const QString &path) = 0;
    virtual Status createBlank(const QString &path) = 0;
    virtual Status open(const QString &path) = 0;
    virtual bool setText(int row, int column, const QString &text) = 0;
    virtual bool setNumber(int row, int column, double number) = 0;
    // A date the spreadsheet shows in its date format; a writer without dates stores nothing.
    virtual bool setDate(int, int, const QDate &) { return false; }
    virtual Status save(const QString &path) = 0;
    virtual void close() = 0;
    // Writes a whole file of other kinds (a text, a picture) so that a failure leaves any
    // previous file as it was.
    virtual Status writeFile(const QString &, const QByteArray &) { return Fail(QStringLiteral("не поддерживается")); }
};

// "Годовой журнал " and the like, followed by "Счетчик № <n>, " for a meter that has a number.
QString JournalTitle(const QString &journal, int serialNumber);

// The chosen path up to and including its last separator; empty when it has none.
QString ExportDirectoryOf(const QString &chosen);

// directory + N + "new.xls" for the smallest N from 1 naming nothing that exists. The chosen
// file itself, in any case of its letters, is never taken, even while it does not exist yet:
// the temporary workbook is deleted after the save and would take the result with it.
// Nothing after kMaxTemporaryNames.
inline constexpr int kMaxTemporaryNames = 9999;
std::optional<QString> TemporaryWorkbookName(const QString &directory, const QString &chosen,
                                             const std::function<bool(const QString &)> &exists);

// The number a cell text stands for in the locale's format (its decimal separator, no group
// separators); nothing for any other text, the empty one included.
std::optional<double> ExportCellNumber(const QString &text, const QLocale &locale = QLocale());

// The export of a journal to an Excel 97 file the operator chooses, opened afterwards with
// the application the system associates with it. A failure shows the export's warning box
// and hands its reason (file, step, the system's words) to `report`, the exchange log in the
// program: the box has no place for it.
class JournalExport final {
public:
    static const QString &FailureText();
    // "Файл не записан: <reason>", the line `report` gets.
    static QString ReportText(const QString &reason);

    JournalExport(Operator &op, SystemFacts &facts, ExportFiles &files,
                  std::function<void(const QString &)> report = {});
    ~JournalExport();
    JournalExport(const JournalExport &) = delete;
    JournalExport &operator=(const JournalExport &) = delete;

    // Asks for the file; the table and title are taken now, as the journal shows them at the
    // click, and written once the operator has chosen. Cancelling does nothing.
    void Export(ExportTable table, QString title);
    // The same for a table whose cells carry their kind; empty cells are left out.
    void Export(TypedExportTable table, QString title);

    // Writes the workbook to `chosen` and opens it; on failure the warning box and the
    // report, and no temporary workbook is left behind.
    Status exportTo(const QString &chosen, const ExportTable &table, const QString &title);
    Status exportTo(const QString &chosen, const TypedExportTable &table, const QString &title);

    // Asks for a file (filter "name|*.ext") and writes `bytes` to it, taken at the click; on
    // failure the export's warning box and the report. Cancelling does nothing.
    void SaveFile(const QString &filter, const QString &defaultSuffix, QByteArray bytes);
    Status saveTo(const QString &chosen, const QByteArray &bytes);

private:
    Status writeWorkbook(const QString &chosen, const TypedExportTable &table, const QString &title);
    Status write(const QString &chosen, const QString &temporary, const TypedExportTable &table, const QString &title);
    Status fail(const Status &failed);

    Operator &operator_;
    SystemFacts &facts_;
    ExportFiles &files_;
    std::function<void(const QString &)> report_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ordan
