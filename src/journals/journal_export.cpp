#include "journals/journal_export.h"

#include "core/operator.h"
#include "core/system_facts.h"

#include <QUrl>

#include <algorithm>
#include <cmath>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

QString JournalTitle(const QString &journal, int serialNumber)
{
    if (serialNumber <= 0)
        return journal;
    return journal + u"Счетчик № "_s + QString::number(serialNumber) + u", "_s;
}

QString ExportDirectoryOf(const QString &chosen)
{
    // Qt's file dialogs give "/" on every system; a "\" is accepted as well for typed paths.
    const qsizetype slash = std::max(chosen.lastIndexOf(u'/'), chosen.lastIndexOf(u'\\'));
    return slash < 0 ? QString() : chosen.left(slash + 1);
}

std::optional<QString> TemporaryWorkbookName(const QString &directory, const QString &chosen,
                                             const std::function<bool(const QString &)> &exists)
{
    for (int n = 1; n <= kMaxTemporaryNames; ++n) {
        const QString name = directory + QString::number(n) + u"new.xls"_s;
        // Case is ignored as Windows' file systems ignore it; where case matters, skipping
        // one more name costs nothing.
        if (name.compare(chosen, Qt::CaseInsensitive) != 0 && !exists(name))
            return name;
    }
    return std::nullopt;
}

std::optional<double> ExportCellNumber(const QString &text, const QLocale &locale)
{
    QLocale strict = locale;
    strict.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

const QString &JournalExport::FailureText()
{
    static const QString text =
        u"Файл не может быть создан в указанной директории, или файл с таким именем сейчас открыт!"_s;
    return text;
}

QString JournalExport::ReportText(const QString &reason) { return u"Файл не записан: "_s + reason; }

JournalExport::JournalExport(Operator &op, SystemFacts &facts, ExportFiles &files,
                             std::function<void(const QString &)> report)
    : operator_(op), facts_(facts), files_(files), report_(std::move(report))
{}

JournalExport::~JournalExport() = default;

namespace {

// A journal's texts as the workbook takes them: what reads as a number is a number, anything
// else text, the empty text included.
TypedExportTable TypedCells(const ExportTable &table)
{
    const QLocale locale;
    TypedExportTable typed;
    typed.reserve(table.size());
    for (const QStringList &row : table) {
        QList<ExportCell> cells;
        cells.reserve(row.size());
        for (const QString &text : row) {
            if (const auto number = ExportCellNumber(text, locale))
                cells.append(*number);
            else
                cells.append(text);
        }
        typed.append(std::move(cells));
    }
    return typed;
}

} // namespace

void JournalExport::Export(ExportTable table, QString title) { Export(TypedCells(table), std::move(title)); }

void JournalExport::Export(TypedExportTable table, QString title)
{
    std::weak_ptr<int> alive = alive_;
    operator_.chooseSaveFile(u"xls|*.xls"_s, u"xls"_s,
                             [this, alive, table = std::move(table), title = std::move(title)](const QString &file) {
                                 if (alive.expired() || file.isEmpty())
                                     return;
                                 // A failure has been shown and reported by now.
                                 static_cast<void>(exportTo(file, table, title));
                             });
}

void JournalExport::SaveFile(const QString &filter, const QString &defaultSuffix, QByteArray bytes)
{
    std::weak_ptr<int> alive = alive_;
    operator_.chooseSaveFile(filter, defaultSuffix, [this, alive, bytes = std::move(bytes)](const QString &file) {
        if (alive.expired() || file.isEmpty())
            return;
        static_cast<void>(saveTo(file, bytes)); // shown and reported by now
    });
}

Status JournalExport::saveTo(const QString &chosen, const QByteArray &bytes)
{
    if (const Status written = files_.writeFile(chosen, bytes); !written)
        return fail(written);
    return {};
}

Status JournalExport::exportTo(const QString &chosen, const ExportTable &table, const QString &title)
{
    return exportTo(chosen, TypedCells(table), title);
}

Status JournalExport::exportTo(const QString &chosen, const TypedExportTable &table, const QString &title)
{
    if (const Status written = writeWorkbook(chosen, table, title); !written)
        return fail(written);
    facts_.openWithShell(QUrl::fromLocalFile(chosen));
    return {};
}

Status JournalExport::writeWorkbook(const QString &chosen, const TypedExportTable &table, const QString &title)
{
    const auto temporary = TemporaryWorkbookName(ExportDirectoryOf(chosen), chosen,
                                                 [this](const QString &path) { return files_.exists(path); });
    if (!temporary)
        return Fail(u"все временные имена от 1new.xls до %1new.xls заняты"_s.arg(kMaxTemporaryNames));
    if (const Status written = write(chosen, *temporary, table, title); !written) {
        files_.close();
        if (!files_.exists(*temporary))
            return written;
        if (const Status removed = files_.remove(*temporary); !removed)
            return Fail(written.error() + u"; "_s + removed.error());
        return written;
    }
    files_.close();
    return files_.remove(*temporary);
}

Status JournalExport::write(const QString &chosen, const QString &temporary, const TypedExportTable &table,
                            const QString &title)
{
    if (const Status created = files_.createBlank(temporary); !created)
        return created;
    if (const Status opened = files_.open(temporary); !opened)
        return opened;
    qsizetype columns = 0;
    for (const QList<ExportCell> &row : table)
        columns = std::max(columns, row.size());
    // A cell that cannot be written is left out; the rest of the journal still goes.
    files_.setText(1, 1, title);
    for (int c = 2; c <= columns; ++c)
        files_.setText(1, c, QString());
    for (qsizetype r = 0; r < table.size(); ++r) {
        const QList<ExportCell> &row = table[r];
        for (qsizetype c = 0; c < row.size(); ++c) {
            const int sheetRow = static_cast<int>(r) + 2;
            const int sheetColumn = static_cast<int>(c) + 1;
            const ExportCell &cell = row[c];
            if (const auto *number = std::get_if<double>(&cell))
                files_.setNumber(sheetRow, sheetColumn, *number);
            else if (const auto *text = std::get_if<QString>(&cell))
                files_.setText(sheetRow, sheetColumn, *text);
            else if (const auto *date = std::get_if<QDate>(&cell))
                files_.setDate(sheetRow, sheetColumn, *date);
        }
    }
    // The save replaces an existing file in one rename, so the old file is not deleted first:
    // deleting it would only lose it when the save then fails.
    return files_.save(chosen);
}

Status JournalExport::fail(const Status &failed)
{
    if (report_)
        report_(ReportText(failed.error()));
    operator_.showMessage(FailureText(), u"Warning"_s, BoxIcon::Warning);
    return failed;
}

} // namespace ordan
