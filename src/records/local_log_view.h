#pragma once

// The page "База данных": a read-only browser of Setting.DBF filtered by date range and
// factory number, opened and closed by ActionOpen and ActionClose.

#include "core/field.h"
#include "core/main_pages.h"
#include "records/local_table.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>

#include <functional>

namespace ordan {

class LocalLogView final : public QObject {
    Q_OBJECT
public:
    // The station owns the two actions; the view gives them their handlers and switches
    // them. `today` presets both date pickers; reportError is the general error report.
    LocalLogView(LocalTable &table, Action &actionOpen, Action &actionClose, QDate today,
                 std::function<void(const QString &)> reportError, QObject *parent = nullptr);

    Container Panel6;
    IntField SpinFilter; // no limits; 0 or less: any number
    Field<QDate> DTP1;
    Field<QDate> DTP2;
    TextField StatusBar2;
    // "Экспорт…": the rows shown to a workbook; enabled while the view is open. The owner of
    // the export gives it its handler.
    Action BtnExport;

    // Table1: the rows that passed the filter when the view was opened; empty while closed.
    bool isOpen() const { return open_; }
    const QList<LocalRow> &rows() const { return rows_; }
    LocalFilter filter() const;

    void ActionOpenExecute();
    void ActionCloseExecute();

Q_SIGNALS:
    void rowsChanged();
    // The view has opened: its page becomes the active page.
    void activePageRequested(int index); // a PageIndex of MainPage

private:
    void setRows(QList<LocalRow> rows, bool open);

    LocalTable &table_;
    Action &actionOpen_;
    Action &actionClose_;
    std::function<void(const QString &)> reportError_;
    bool open_ = false;
    QList<LocalRow> rows_;
};

// Table1CalcFields and the grid's columns (kSettingViewColumns): the value of a row in a
// column, Sumer_correct calculated. Invalid for null.
QVariant LocalLogCell(const LocalRow &row, int column);
// The text the grid shows for that value, numbers and dates in `locale`; RESET shows as a
// check mark instead (LocalLogTableModel), so its text is empty.
QString LocalLogCellText(const LocalRow &row, int column, const QLocale &locale = QLocale());

// DBGrid1's model: the 26 columns of the page over the view's rows, read-only.
class LocalLogTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LocalLogTableModel(const LocalLogView &view, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static int resetColumn();

private:
    const LocalLogView &view_;
    QList<LocalRow> rows_;
};

} // namespace ordan
