#pragma once

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
// count from 1, as in the spreadsheet; cells go to the first sheet of the open workbook.
class ExportFiles {
public:
    virtual ~ExportFiles() = default;
    virtual bool exists(const QString &path) const = 0;
    virtual bool remove(const QString &path) = 0;
    virtual bool createBlank(const QString &path) = 0;
    virtual bool open(const QString &path) = 0;
    virtual bool setText(int row, int column, const QString &text) = 0;
    virtual bool setNumber(int row, int column, double number) = 0;
    // A date the spreadsheet shows in its date format; a writer without dates stores nothing.
    virtual bool setDate(int, int, const QDate &) { return false; }
    virtual bool save(const QString &path) = 0;
    virtual void close() = 0;
    // Writes a whole file of other kinds (a text, a picture) so that a failure leaves any
    // previous file as it was; false when it could not be written.
    virtual bool writeFile(const QString &, const QByteArray &) { return false; }
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
// the application the system associates with it.
class JournalExport final {
public:
    static const QString &FailureText();

    JournalExport(Operator &op, SystemFacts &facts, ExportFiles &files);
    ~JournalExport();
    JournalExport(const JournalExport &) = delete;
    JournalExport &operator=(const JournalExport &) = delete;

    // Asks for the file; the table and title are taken now, as the journal shows them at the
    // click, and written once the operator has chosen. Cancelling does nothing.
    void Export(ExportTable table, QString title);
    // The same for a table whose cells carry their kind; empty cells are left out.
    void Export(TypedExportTable table, QString title);

    // Writes the workbook to `chosen` and opens it; on failure the warning box, and no
    // temporary workbook is left behind. True when the file was written.
    bool exportTo(const QString &chosen, const ExportTable &table, const QString &title);
    bool exportTo(const QString &chosen, const TypedExportTable &table, const QString &title);

    // Asks for a file (filter "name|*.ext") and writes `bytes` to it, taken at the click; on
    // failure the export's warning box. Cancelling does nothing.
    void SaveFile(const QString &filter, const QString &defaultSuffix, QByteArray bytes);
    bool saveTo(const QString &chosen, const QByteArray &bytes);

private:
    bool write(const QString &chosen, const QString &temporary, const TypedExportTable &table, const QString &title);
    void fail();

    Operator &operator_;
    SystemFacts &facts_;
    ExportFiles &files_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ordan
