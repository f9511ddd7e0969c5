#include "schedule/schedule_page.h"

#include "schedule/holidays.h"
#include "schedule/schedule_model.h"
#include "ui/field_binding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kRowHeight = 20;
constexpr int kMaskColumnWidth = 22;
constexpr int kZoneColumnWidth = 34;
constexpr int kTariffColumnWidth = 44;
constexpr int kPanelButtonWidth = 66;

// The tariff column offers "1", "2" and "3" to pick; nothing can be typed.
class TariffPickDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *combo = new QComboBox(parent);
        combo->setEditable(false);
        combo->addItems({u"1"_s, u"2"_s, u"3"_s});
        return combo;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = static_cast<QComboBox *>(editor);
        combo->setCurrentIndex(combo->findText(index.data(Qt::EditRole).toString()));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        auto *combo = static_cast<QComboBox *>(editor);
        if (combo->currentIndex() >= 0)
            model->setData(index, combo->currentText(), Qt::EditRole);
    }
};

void BindButton(QPushButton *button, Action &action)
{
    button->setMinimumWidth(kPanelButtonWidth);
    Bind(button, action);
}

// Grids show black text while enabled and grey text while their group is disabled.
void FollowGreyText(QWidget *grid, FieldBase &field)
{
    auto apply = [grid, &field] {
        QPalette p = grid->palette();
        p.setColor(QPalette::Text, field.isGreyText() ? QColor(128, 128, 128) : QColor(Qt::black));
        grid->setPalette(p);
    };
    apply();
    QObject::connect(&field, &FieldBase::stateChanged, grid, apply);
}

void CompactGrid(QTableWidget *grid)
{
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid->horizontalHeader()->setFixedHeight(kRowHeight);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setMinimumSectionSize(16);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedHeight(kRowHeight * (kZoneCount + 1) + 2 * grid->frameWidth());
}

QTreeWidget *ReportList(const QString &first, const QString &second, QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setHeaderLabels({first, second});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setMinimumHeight(60);
    // The selection stays visible when the list loses the focus.
    QPalette p = list->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    list->setPalette(p);
    return list;
}

QList<int> SelectedRows(QTreeWidget *list)
{
    QList<int> rows;
    for (const QModelIndex &i : list->selectionModel()->selectedRows())
        rows.append(i.row());
    return rows;
}

void ShowSelection(QTreeWidget *list, const QList<int> &rows)
{
    const QSignalBlocker block(list);
    list->clearSelection();
    for (int r : rows)
        if (QTreeWidgetItem *item = list->topLevelItem(r))
            item->setSelected(true);
}

void BindDay(QSpinBox *spin, DayOfMonthField &field)
{
    BindState(spin, field);
    auto render = [spin, &field] {
        const QSignalBlocker block(spin);
        spin->setRange(field.minimum(), field.maximum());
        spin->setValue(field.value());
    };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, spin, render);
    QObject::connect(&field, &FieldBase::stateChanged, spin, render);
    QObject::connect(spin, &QSpinBox::valueChanged, &field, [&field](int v) { field.edit(v); });
}

} // namespace

SchedulePage::SchedulePage(ScheduleModel &model, QWidget *parent) : QWidget(parent), model_(model)
{
    // The main window decides whether the page's tab is shown.
    setObjectName(model_.TabSchedule.objectName());

    auto *one = new QCheckBox(u"Работа по одному тарифу"_s, this);
    Bind(one, model_.CheckOneTarif);
    auto *read = new QPushButton(this);
    BindButton(read, model_.BtnReadSchedule);
    auto *write = new QPushButton(this);
    BindButton(write, model_.BtnWriteSchedule);
    auto *templet = new QPushButton(this);
    BindButton(templet, model_.BtnTemplet);

    auto *top = new QHBoxLayout;
    top->addWidget(one);
    top->addStretch();
    top->addWidget(read);
    top->addWidget(write);

    auto *left = new QVBoxLayout;
    left->addWidget(buildTariffGroup());
    auto *templetRow = new QHBoxLayout;
    templetRow->addWidget(templet);
    templetRow->addStretch();
    left->addLayout(templetRow);
    left->addStretch();

    auto *right = new QVBoxLayout;
    right->addWidget(buildHolidayGroup(), 1);
    right->addWidget(buildTransferGroup(), 1);

    auto *body = new QHBoxLayout;
    body->addLayout(left);
    body->addLayout(right, 1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(6, 4, 6, 4);
    page->setSpacing(4);
    page->addLayout(top);
    page->addLayout(body, 1);
}

QWidget *SchedulePage::buildTariffGroup()
{
    auto *group = new QGroupBox(u" Многотарифный режим "_s, this);
    BindState(group, model_.GroupTariff);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(buildZoneTariffs(group), 0, Qt::AlignTop);
    layout->addLayout(buildZoneStarts(group));
    layout->addWidget(buildZoneMasks(group), 0, Qt::AlignTop);
    return group;
}

QWidget *SchedulePage::buildZoneTariffs(QWidget *group)
{
    tariffs_ = new QTableWidget(kZoneCount, 2, group);
    tariffs_->setObjectName(model_.ValueListEditor1.objectName());
    tariffs_->setHorizontalHeaderLabels({u"Зона"_s, u"Тариф"_s});
    CompactGrid(tariffs_);
    tariffs_->setColumnWidth(0, kZoneColumnWidth);
    tariffs_->setColumnWidth(1, kTariffColumnWidth);
    tariffs_->setFixedWidth(kZoneColumnWidth + kTariffColumnWidth + 2 * tariffs_->frameWidth());
    tariffs_->setItemDelegateForColumn(1, new TariffPickDelegate(tariffs_));
    tariffs_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                              QAbstractItemView::EditKeyPressed | QAbstractItemView::CurrentChanged);
    for (int z = 0; z < kZoneCount; ++z) {
        auto *key = new QTableWidgetItem(QString::number(z));
        key->setFlags(Qt::ItemIsEnabled);
        tariffs_->setItem(z, 0, key);
        tariffs_->setItem(z, 1, new QTableWidgetItem);
    }
    BindState(tariffs_, model_.ValueListEditor1);
    FollowGreyText(tariffs_, model_.ValueListEditor1);
    renderTariffs();
    connect(&model_.ValueListEditor1, &FieldBase::valueChanged, tariffs_, [this] { renderTariffs(); });
    connect(tariffs_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item->column() == 1)
            model_.setZoneTariff(item->row(), item->text());
    });
    return tariffs_;
}

QLayout *SchedulePage::buildZoneStarts(QWidget *group)
{
    auto *times = new QVBoxLayout;
    times->setSpacing(0);
    times->setContentsMargins(0, tariffs_->frameWidth(), 0, 0);
    auto *timeLabel = new QLabel(group);
    timeLabel->setFixedHeight(kRowHeight);
    timeLabel->setAlignment(Qt::AlignCenter);
    Bind(timeLabel, model_.LabelTime);
    times->addWidget(timeLabel);
    for (int z = 0; z < kZoneCount; ++z) {
        auto *picker = new QTimeEdit(group);
        picker->setDisplayFormat(u"HH:mm"_s);
        picker->setFixedHeight(kRowHeight);
        picker->setFixedWidth(58);
        picker->setProperty("tag", z);
        // The start spreads to the later zones once per finished time (Enter, leaving the
        // picker, or a step of its arrows), not at every digit typed.
        picker->setKeyboardTracking(false);
        Bind(picker, model_.picker(z));
        times->addWidget(picker);
    }
    times->addStretch();
    return times;
}

QWidget *SchedulePage::buildZoneMasks(QWidget *group)
{
    masks_ = new QTableWidget(kZoneCount, kDayTypeCount, group);
    masks_->setObjectName(model_.StringAttrib.objectName());
    masks_->setHorizontalHeaderLabels(DayTypeTitles());
    CompactGrid(masks_);
    for (int c = 0; c < kDayTypeCount; ++c)
        masks_->setColumnWidth(c, kMaskColumnWidth);
    masks_->setFixedWidth(kMaskColumnWidth * kDayTypeCount + 2 * masks_->frameWidth());
    masks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    masks_->setSelectionMode(QAbstractItemView::NoSelection);
    masks_->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < kZoneCount; ++r)
        for (int c = 0; c < kDayTypeCount; ++c) {
            auto *cell = new QTableWidgetItem;
            cell->setFlags(Qt::ItemIsEnabled);
            cell->setTextAlignment(Qt::AlignCenter);
            masks_->setItem(r, c, cell);
        }
    BindState(masks_, model_.StringAttrib);
    FollowGreyText(masks_, model_.StringAttrib);
    renderMasks();
    connect(&model_.StringAttrib, &FieldBase::valueChanged, masks_, [this] { renderMasks(); });
    // Rows of the widget are zone rows; the title row is the header, which never toggles.
    connect(masks_, &QTableWidget::cellClicked, this,
            [this](int row, int col) { model_.StringAttribSelectCell(col, row + 1); });
    return masks_;
}

QWidget *SchedulePage::buildHolidayGroup()
{
    auto *group = new QGroupBox(u" Праздники "_s, this);
    BindState(group, model_.GroupCel);

    auto *panel = new QWidget(group);
    BindState(panel, model_.Panel7);
    auto *monthLabel = new QLabel(panel);
    Bind(monthLabel, model_.LabelMonth);
    auto *month = new QComboBox(panel);
    month->addItems(MonthNames());
    Bind(month, model_.ComboM);
    auto *dayLabel = new QLabel(panel);
    Bind(dayLabel, model_.LabelDay);
    auto *day = new QSpinBox(panel);
    BindDay(day, model_.SpinD);
    auto *add = new QPushButton(panel);
    BindButton(add, model_.BtnInsCel);
    auto *del = new QPushButton(panel);
    BindButton(del, model_.BtnDelCel);

    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    grid->addWidget(monthLabel, 0, 0);
    grid->addWidget(month, 0, 1);
    grid->addWidget(dayLabel, 0, 2);
    grid->addWidget(day, 0, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(del);
    grid->addLayout(buttons, 1, 0, 1, 4);

    holidays_ = ReportList(u"Месяц"_s, u"День"_s, group);
    BindState(holidays_, model_.ListCel);
    renderHolidays();
    FollowEntryList(
        holidays_, model_.ListCel, &SchedulePage::renderHolidays,
        {&ScheduleModel::holidaySelectionChanged, &ScheduleModel::holidaySelection, &ScheduleModel::selectHolidays});
    StackPanelOverList(group, panel, holidays_);
    return group;
}

QWidget *SchedulePage::buildTransferGroup()
{
    auto *group = new QGroupBox(u" Переносы "_s, this);
    BindState(group, model_.GroupTransfer);

    auto *panel = new QWidget(group);
    BindState(panel, model_.PanelTrans);
    auto *date = new QDateEdit(panel);
    date->setCalendarPopup(true);
    date->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    date->setDateRange(QDate(kFirstTransferYear, 1, 1), QDate(kLastTransferYear, 12, 31));
    Bind(date, model_.DTPTrans);
    auto *typeLabel = new QLabel(panel);
    Bind(typeLabel, model_.LabelTrans);
    auto *type = new QComboBox(panel);
    type->addItems(DayTypeNames());
    Bind(type, model_.ComboTrans);
    auto *add = new QPushButton(panel);
    BindButton(add, model_.BtnInsTrans);
    auto *del = new QPushButton(panel);
    BindButton(del, model_.BtnDelTrans);

    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    grid->addWidget(date, 0, 0);
    grid->addWidget(add, 0, 1);
    grid->addWidget(del, 0, 2);
    auto *typeRow = new QHBoxLayout;
    typeRow->addWidget(typeLabel);
    typeRow->addWidget(type, 1);
    grid->addLayout(typeRow, 1, 0, 1, 3);

    transfers_ = ReportList(u"День"_s, u"По графику"_s, group);
    BindState(transfers_, model_.ListTransfer);
    renderTransfers();
    FollowEntryList(
        transfers_, model_.ListTransfer, &SchedulePage::renderTransfers,
        {&ScheduleModel::transferSelectionChanged, &ScheduleModel::transferSelection, &ScheduleModel::selectTransfers});
    StackPanelOverList(group, panel, transfers_);
    return group;
}

void SchedulePage::FollowEntryList(QTreeWidget *view, FieldBase &list, void (SchedulePage::*render)(),
                                   const EntrySelection &selection)
{
    connect(&list, &FieldBase::valueChanged, view, [this, render] { (this->*render)(); });
    connect(&model_, selection.changed, view,
            [this, view, get = selection.get] { ShowSelection(view, std::invoke(get, model_)); });
    connect(view, &QTreeWidget::itemSelectionChanged, this,
            [this, view, set = selection.set] { std::invoke(set, model_, SelectedRows(view)); });
}

void SchedulePage::StackPanelOverList(QWidget *group, QWidget *panel, QTreeWidget *view)
{
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 2, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(panel);
    layout->addWidget(view, 1);
}

void SchedulePage::renderTariffs()
{
    const QSignalBlocker block(tariffs_);
    const auto &values = model_.ValueListEditor1.value();
    for (int z = 0; z < kZoneCount; ++z)
        tariffs_->item(z, 1)->setText(values[z]);
}

void SchedulePage::renderMasks()
{
    const MaskTable &masks = model_.StringAttrib.value();
    for (int z = 0; z < kZoneCount; ++z)
        for (int c = 0; c < kDayTypeCount; ++c)
            masks_->item(z, c)->setText(HasDayType(masks[z], c + 1) ? u" + "_s : QString());
}

void SchedulePage::renderHolidays()
{
    const QSignalBlocker block(holidays_);
    holidays_->clear();
    for (const HolidayEntry &h : model_.ListCel.value())
        holidays_->addTopLevelItem(new QTreeWidgetItem(QStringList{MonthName(h.month), HolidayDayText(h)}));
    ShowSelection(holidays_, model_.holidaySelection());
}

void SchedulePage::renderTransfers()
{
    const QSignalBlocker block(transfers_);
    transfers_->clear();
    for (const TransferEntry &t : model_.ListTransfer.value())
        transfers_->addTopLevelItem(new QTreeWidgetItem(QStringList{TransferDateText(t), DayTypeName(t.dayType)}));
    ShowSelection(transfers_, model_.transferSelection());
}

} // namespace ordan
