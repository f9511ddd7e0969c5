#include "records/local_log_view.h"

#include "records/setting_table.h"

#include <QLoggingCategory>

#include <limits>

namespace ordan {

namespace {

Q_LOGGING_CATEGORY(lcLocalLog, "ordan.records.locallog")

bool ValidColumn(int column) { return column >= 0 && column < static_cast<int>(kSettingViewColumns.size()); }

QStringView ViewColumnName(int column)
{
    const std::u16string_view name = kSettingViewColumns[static_cast<size_t>(column)].name;
    return QStringView(name.data(), static_cast<qsizetype>(name.size()));
}

bool IsSumerCorrect(int column) { return ViewColumnName(column) == QStringView(kSumerCorrect); }

const SettingColumn *StoredColumn(int column)
{
    return IsSumerCorrect(column) ? nullptr : FindSettingColumn(ViewColumnName(column));
}

} // namespace

LocalLogView::LocalLogView(LocalTable &table, Action &actionOpen, Action &actionClose, QDate today,
                           std::function<void(const QString &)> reportError, QObject *parent)
    : QObject(parent), Panel6(QStringLiteral("Panel6"), this),
      SpinFilter(QStringLiteral("SpinFilter"), &Panel6, 0, 0, 0), DTP1(QStringLiteral("DTP1"), &Panel6, today),
      DTP2(QStringLiteral("DTP2"), &Panel6, today), StatusBar2(QStringLiteral("StatusBar2"), this),
      BtnExport(QStringLiteral("BtnExport"), this, QStringLiteral("Экспорт…")), table_(table), actionOpen_(actionOpen),
      actionClose_(actionClose), reportError_(std::move(reportError))
{
    actionOpen_.setHandler([this] { ActionOpenExecute(); });
    actionClose_.setHandler([this] { ActionCloseExecute(); });
    BtnExport.setEnabled(false);
    // A changed filter is applied only by opening again. While closed there is nothing to
    // close, and the actions keep the state the mode gave them.
    auto closeOnChange = [this] {
        if (open_)
            ActionCloseExecute();
    };
    SpinFilter.setEditHandler(closeOnChange);
    DTP1.setEditHandler(closeOnChange);
    DTP2.setEditHandler(closeOnChange);
}

LocalFilter LocalLogView::filter() const
{
    LocalFilter f;
    f.from = DTP1.value();
    f.to = DTP2.value();
    f.number = SpinFilter.value() > 0 ? SpinFilter.value() : 0;
    return f;
}

void LocalLogView::ActionOpenExecute()
{
    Result<QList<LocalRow>> rows = table_.select(filter());
    if (!rows) {
        reportError_(rows.error());
        return;
    }
    qCDebug(lcLocalLog) << "opened" << filter().from << filter().to << filter().number << rows->size();
    const qsizetype count = rows->size();
    setRows(std::move(*rows), true);
    StatusBar2.set(QStringLiteral(" Записей: ") + QString::number(count));
    actionOpen_.setEnabled(false);
    actionClose_.setEnabled(true);
    BtnExport.setEnabled(true);
    Q_EMIT activePageRequested(PageIndex(MainPage::Database));
}

void LocalLogView::ActionCloseExecute()
{
    setRows({}, false);
    StatusBar2.set(QString());
    actionOpen_.setEnabled(true);
    actionClose_.setEnabled(false);
    BtnExport.setEnabled(false);
}

void LocalLogView::setRows(QList<LocalRow> rows, bool open)
{
    open_ = open;
    rows_ = std::move(rows);
    Q_EMIT rowsChanged();
}

QVariant LocalLogCell(const LocalRow &row, int column)
{
    if (!ValidColumn(column))
        return {};
    if (IsSumerCorrect(column)) {
        const QString text = SumerCorrectText(row.value(QStringLiteral("summer")));
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    const SettingColumn *c = StoredColumn(column);
    if (!c)
        return {};
    const QVariant v = row.value(ColumnName(*c));
    return IsNullValue(v) ? QVariant() : v;
}

QString LocalLogCellText(const LocalRow &row, int column, const QLocale &locale)
{
    const QVariant v = LocalLogCell(row, column);
    if (IsNullValue(v))
        return {};
    const SettingColumn *c = StoredColumn(column);
    if (!c)
        return v.toString();
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    switch (c->type) {
    case SettingType::Float:
        // The shortest form that gives the value back: 12345, 1,00025.
        return plain.toString(v.toDouble(), 'g', std::numeric_limits<double>::digits10);
    case SettingType::SmallInt:
    case SettingType::Integer: return plain.toString(v.toInt());
    case SettingType::Date: return locale.toString(v.toDate(), QLocale::ShortFormat);
    case SettingType::TimeOfDay: return locale.toString(v.toTime(), QLocale::ShortFormat);
    case SettingType::Logical: return {};
    case SettingType::Text: return v.toString();
    }
    return {};
}

LocalLogTableModel::LocalLogTableModel(const LocalLogView &view, QObject *parent)
    : QAbstractTableModel(parent), view_(view), rows_(view.rows())
{
    connect(&view_, &LocalLogView::rowsChanged, this, [this] {
        beginResetModel();
        rows_ = view_.rows();
        endResetModel();
    });
}

int LocalLogTableModel::resetColumn()
{
    for (int i = 0; ValidColumn(i); ++i)
        if (ViewColumnName(i) == u"RESET")
            return i;
    return -1;
}

int LocalLogTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LocalLogTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(kSettingViewColumns.size());
}

QVariant LocalLogTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || !ValidColumn(index.column()))
        return {};
    const LocalRow &row = rows_[index.row()];
    if (role == Qt::DisplayRole)
        return LocalLogCellText(row, index.column());
    if (role == Qt::CheckStateRole && index.column() == resetColumn()) {
        const QVariant v = LocalLogCell(row, index.column());
        if (IsNullValue(v))
            return {};
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::TextAlignmentRole) {
        const SettingColumn *c = StoredColumn(index.column());
        if (c && (c->type == SettingType::Float || c->type == SettingType::SmallInt || c->type == SettingType::Integer))
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    return {};
}

QVariant LocalLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || !ValidColumn(section))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        const std::u16string_view title = kSettingViewColumns[static_cast<size_t>(section)].title;
        return QString(reinterpret_cast<const QChar *>(title.data()), static_cast<qsizetype>(title.size()));
    }
    return {};
}

Qt::ItemFlags LocalLogTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace ordan
