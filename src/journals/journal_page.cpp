#include "journals/journal_page.h"

#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journals.h"
#include "ui/field_binding.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ordan
{

using namespace Qt::Literals::StringLiterals;

namespace
{

constexpr int kRowHeight = 20;
constexpr int kMonthColumnWidth = 100;
constexpr int kAnnualValueColumnWidth = 120;
constexpr int kButtonWidth = 90;

QPushButton *Button(Action &action, QWidget *parent)
{
    auto *button = new QPushButton(action.caption(), parent);
    button->setMinimumWidth(kButtonWidth);
    BindState(button, action);
    QObject::connect(button, &QPushButton::clicked, &action, [&action] { action.execute(); });
    return button;
}

QProgressBar *Gauge(IntField &field, QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(field.minimum(), field.maximum());
    bar->setTextVisible(false);
    BindState(bar, field);
    auto render = [bar, &field] { bar->setValue(field.value()); };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, bar, render);
    return bar;
}

// Read button, progress bar, export button in one line.
QHBoxLayout *ButtonRow(QPushButton *read, QProgressBar *gauge, QPushButton *exportButton)
{
    auto *row = new QHBoxLayout;
    row->addWidget(read);
    row->addWidget(gauge, 1);
    row->addStretch(); // keeps the export button at the right while the gauge is hidden
    row->addWidget(exportButton);
    return row;
}

void ReadOnlyTable(QTableWidget *table)
{
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->setWordWrap(false);
    table->setShowGrid(true);
}

} // namespace

AnnualJournalPage::AnnualJournalPage(AnnualJournal &model, QWidget *parent) : QWidget(parent), model_(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(
        ButtonRow(Button(model.BitBtn4, this), Gauge(model.Gauge1, this), Button(model.BtnJournal, this)));

    auto *title = new QLabel(this);
    title->setAlignment(Qt::AlignCenter);
    title->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bind(title, model.Panel3);
    layout->addWidget(title);

    // Row 0 of the grid is the header, which stays in place while the months scroll.
    grid_ = new QTableWidget(kAnnualRows - 1, kAnnualColumns, this);
    grid_->setObjectName(model.GridJournal.objectName());
    ReadOnlyTable(grid_);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->horizontalHeader()->setHighlightSections(false);
    grid_->setColumnWidth(0, kMonthColumnWidth);
    for (int c = 1; c < kAnnualColumns; ++c)
        grid_->setColumnWidth(c, kAnnualValueColumnWidth);
    for (int r = 0; r < kAnnualRows - 1; ++r)
        for (int c = 0; c < kAnnualColumns; ++c) {
            auto *item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            // The month column is fixed, like the title row: drawn as a header.
            if (c == 0)
                item->setBackground(palette().button());
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                          : Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(r, c, item);
        }
    layout->addWidget(grid_, 1);
    render();
    connect(&model.GridJournal, &FieldBase::valueChanged, this, &AnnualJournalPage::render);
}

void AnnualJournalPage::render()
{
    const AnnualGrid &grid = model_.GridJournal.value();
    QStringList titles(grid[0].begin(), grid[0].end());
    grid_->setHorizontalHeaderLabels(titles);
    for (int r = 1; r < kAnnualRows; ++r)
        for (int c = 0; c < kAnnualColumns; ++c)
            grid_->item(r - 1, c)->setText(grid[static_cast<size_t>(r)][static_cast<size_t>(c)]);
}

ConsumptionJournalPage::ConsumptionJournalPage(ConsumptionJournal &model, QWidget *parent)
    : QWidget(parent), model_(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(
        ButtonRow(Button(model.BitBtn3, this), Gauge(model.Gauge2, this), Button(model.BtnDiary, this)));

    list_ = new QTableWidget(0, kConsumptionColumns, this);
    list_->setObjectName(model.ListView1.objectName());
    ReadOnlyTable(list_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalHeaderLabels(ConsumptionCaptions());
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < kConsumptionColumns; ++c)
        list_->setColumnWidth(c, kConsumptionColumnWidths[static_cast<size_t>(c)]);
    layout->addWidget(list_, 1);

    for (qsizetype i = 0; i < model.ListView1.size(); ++i)
        appendRow(i);
    connect(&model.ListView1, &ConsumptionList::rowAppended, this, &ConsumptionJournalPage::appendRow);
    connect(&model.ListView1, &ConsumptionList::rowsCleared, this, [this] { list_->setRowCount(0); });
}

void ConsumptionJournalPage::appendRow(qsizetype index)
{
    const ConsumptionRow &row = model_.ListView1.rows()[index];
    const int r = list_->rowCount();
    list_->insertRow(r);
    for (int c = 0; c < kConsumptionColumns; ++c) {
        auto *item = new QTableWidgetItem(row[static_cast<size_t>(c)]);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        list_->setItem(r, c, item);
    }
}

JournalPage::JournalPage(AnnualJournal &annual, ConsumptionJournal &consumption, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(u"PageControlJournal"_s);
    tabs->addTab(new AnnualJournalPage(annual, tabs), u"Годовой журнал"_s);
    tabs->addTab(new ConsumptionJournalPage(consumption, tabs), u"Журнал потребления"_s);
    layout->addWidget(tabs);
}

JournalPage::JournalPage(Journals &journals, QWidget *parent)
    : JournalPage(journals.annual(), journals.consumption(), parent)
{
}

} // namespace ordan
