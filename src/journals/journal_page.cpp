#include "journals/journal_page.h"

#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journal_chart.h"
#include "journals/journals.h"
#include "ui/field_binding.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

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

// The read button reads "Стоп" while its journal is read; pressing it then stops the read.
QPushButton *ReadButton(Action &action, BoolField &reading, QWidget *parent)
{
    auto *button = Button(action, parent);
    auto render = [button, &action, &reading] { button->setText(reading.value() ? u"Стоп"_s : action.caption()); };
    render();
    QObject::connect(&reading, &FieldBase::valueChanged, button, render);
    return button;
}

// The progress in per cent and what is left to ask for: "40%, осталось страниц: 150".
QProgressBar *Gauge(IntField &field, IntField &left, const QString &leftText, QWidget *parent)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(field.minimum(), field.maximum());
    bar->setTextVisible(true);
    BindState(bar, field);
    auto render = [bar, &field, &left, leftText] {
        bar->setValue(field.value());
        bar->setFormat(u"%p%, "_s + leftText + QString::number(left.value()));
    };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, bar, render);
    QObject::connect(&left, &FieldBase::valueChanged, bar, render);
    return bar;
}

// Read button, progress bar, the chart's buttons and the export button in one line.
QHBoxLayout *ButtonRow(QPushButton *read, QProgressBar *gauge, QPushButton *chart, QPushButton *savePicture,
                       QPushButton *exportButton)
{
    auto *row = new QHBoxLayout;
    row->addWidget(read);
    row->addWidget(gauge, 1);
    row->addStretch(); // keeps the other buttons at the right while the gauge is hidden
    row->addWidget(chart);
    row->addWidget(savePicture);
    row->addWidget(exportButton);
    return row;
}

// "График" switches the table for the chart, "Таблица" back; "Сохранить рисунок…" shows with
// the chart when there is somewhere to save it.
QPushButton *ChartButton(const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(u"График"_s, parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setMinimumWidth(kButtonWidth);
    return button;
}

QPushButton *SavePictureButton(const QString &name, QChartView *chart, SavePicture save, QWidget *parent)
{
    auto *button = new QPushButton(u"Сохранить рисунок…"_s, parent);
    button->setObjectName(name);
    button->setVisible(false);
    QPointer<QChartView> view(chart);
    QObject::connect(button, &QPushButton::clicked, parent, [view, save = std::move(save)] {
        if (save)
            save(ChartPng(view));
    });
    return button;
}

void SwitchView(QStackedWidget *stack, QPushButton *chartButton, QPushButton *saveButton, bool canSave, bool chart)
{
    stack->setCurrentIndex(chart ? 1 : 0);
    {
        const QSignalBlocker block(chartButton);
        chartButton->setChecked(chart);
    }
    chartButton->setText(chart ? u"Таблица"_s : u"График"_s);
    saveButton->setVisible(chart && canSave);
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

AnnualJournalPage::AnnualJournalPage(AnnualJournal &model, SavePicture savePicture, QWidget *parent)
    : QWidget(parent), model_(model), canSave_(static_cast<bool>(savePicture))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    stack_ = new QStackedWidget(this);
    chart_ = new AnnualJournalChart(model, stack_);
    chartButton_ = ChartButton(u"BtnJournalChart"_s, this);
    savePictureButton_ = SavePictureButton(u"BtnJournalPicture"_s, chart_, std::move(savePicture), this);
    layout->addLayout(ButtonRow(ReadButton(model.BitBtn4, model.Reading, this),
                                Gauge(model.Gauge1, model.MonthsLeft, u"осталось месяцев: "_s, this), chartButton_,
                                savePictureButton_, Button(model.BtnJournal, this)));
    connect(chartButton_, &QPushButton::toggled, this, &AnnualJournalPage::showChart);

    // The title bar and the table take turns with the chart, which carries its own title.
    auto *table = new QWidget(stack_);
    auto *tableLayout = new QVBoxLayout(table);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(table);
    title->setAlignment(Qt::AlignCenter);
    title->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bind(title, model.Panel3);
    tableLayout->addWidget(title);

    // Row 0 of the grid is the header, which stays in place while the months scroll.
    grid_ = new QTableWidget(kAnnualRows - 1, kAnnualColumns, table);
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
            item->setTextAlignment(c == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
            grid_->setItem(r, c, item);
        }
    tableLayout->addWidget(grid_, 1);
    stack_->addWidget(table);
    stack_->addWidget(chart_);
    layout->addWidget(stack_, 1);
    render();
    connect(&model.GridJournal, &FieldBase::valueChanged, this, &AnnualJournalPage::render);
}

void AnnualJournalPage::showChart(bool on) { SwitchView(stack_, chartButton_, savePictureButton_, canSave_, on); }

void AnnualJournalPage::render()
{
    const AnnualGrid &grid = model_.GridJournal.value();
    QStringList titles(grid[0].begin(), grid[0].end());
    grid_->setHorizontalHeaderLabels(titles);
    for (int r = 1; r < kAnnualRows; ++r)
        for (int c = 0; c < kAnnualColumns; ++c)
            grid_->item(r - 1, c)->setText(grid[static_cast<size_t>(r)][static_cast<size_t>(c)]);
}

ConsumptionJournalPage::ConsumptionJournalPage(ConsumptionJournal &model, SavePicture savePicture, QWidget *parent)
    : QWidget(parent), model_(model), canSave_(static_cast<bool>(savePicture))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    stack_ = new QStackedWidget(this);
    chart_ = new ConsumptionJournalChart(model, stack_);
    chartButton_ = ChartButton(u"BtnDiaryChart"_s, this);
    savePictureButton_ = SavePictureButton(u"BtnDiaryPicture"_s, chart_, std::move(savePicture), this);
    layout->addLayout(ButtonRow(ReadButton(model.BitBtn3, model.Reading, this),
                                Gauge(model.Gauge2, model.PagesLeft, u"осталось страниц: "_s, this), chartButton_,
                                savePictureButton_, Button(model.BtnDiary, this)));
    connect(chartButton_, &QPushButton::toggled, this, &ConsumptionJournalPage::showChart);

    list_ = new QTableWidget(0, kConsumptionColumns, stack_);
    list_->setObjectName(model.ListView1.objectName());
    ReadOnlyTable(list_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalHeaderLabels(ConsumptionCaptions());
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < kConsumptionColumns; ++c)
        list_->setColumnWidth(c, kConsumptionColumnWidths[static_cast<size_t>(c)]);
    stack_->addWidget(list_);
    stack_->addWidget(chart_);
    layout->addWidget(stack_, 1);

    for (qsizetype i = 0; i < model.ListView1.size(); ++i)
        appendRow(i);
    connect(&model.ListView1, &ConsumptionList::rowAppended, this, &ConsumptionJournalPage::appendRow);
    connect(&model.ListView1, &ConsumptionList::rowsCleared, this, [this] { list_->setRowCount(0); });
}

void ConsumptionJournalPage::showChart(bool on) { SwitchView(stack_, chartButton_, savePictureButton_, canSave_, on); }

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

JournalPage::JournalPage(AnnualJournal &annual, ConsumptionJournal &consumption, QWidget *parent,
                         SavePicture savePicture)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(u"PageControlJournal"_s);
    annual_ = new AnnualJournalPage(annual, savePicture, tabs);
    consumption_ = new ConsumptionJournalPage(consumption, savePicture, tabs);
    tabs->addTab(annual_, u"Годовой журнал"_s);
    tabs->addTab(consumption_, u"Журнал потребления"_s);
    layout->addWidget(tabs);

    // Esc stops the journal reads under way while this page is on screen.
    auto *stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stop->setObjectName(u"JournalStop"_s);
    connect(stop, &QShortcut::activated, this, [&annual, &consumption] {
        if (annual.Reading.value())
            annual.StopRead();
        if (consumption.Reading.value())
            consumption.StopRead();
    });
}

JournalPage::JournalPage(Journals &journals, QWidget *parent)
    : JournalPage(journals.annual(), journals.consumption(), parent,
                  [&journals](QByteArray png) { journals.SavePicture(std::move(png)); })
{}

} // namespace ordan
