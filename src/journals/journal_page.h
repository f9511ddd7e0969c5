#pragma once

#include <QByteArray>
#include <QWidget>

#include <array>
#include <functional>

class QPushButton;
class QStackedWidget;
class QTableWidget;

namespace ordan {

class AnnualJournal;
class AnnualJournalChart;
class ConsumptionJournal;
class ConsumptionJournalChart;
class Journals;

// Saves a chart's picture (PNG bytes) where the operator chooses; none: no "Сохранить рисунок…".
using SavePicture = std::function<void(QByteArray png)>;

// Widths of the columns of ListView1, in column order. "Статус" has none of its own and
// takes the width a list column gets by default.
inline constexpr std::array<int, 8> kConsumptionColumnWidths{60, 60, 100, 80, 80, 80, 50, 80};

// The sub-page "Годовой журнал": read and export buttons, the progress bar, the title bar and
// the read-only twelve-month table, or in its place the chart.
class AnnualJournalPage final : public QWidget {
    Q_OBJECT
public:
    explicit AnnualJournalPage(AnnualJournal &model, SavePicture savePicture = {}, QWidget *parent = nullptr);

    AnnualJournalChart *chart() const { return chart_; }
    // Shows the chart instead of the table, or the table again.
    void showChart(bool on);

private:
    void render();

    AnnualJournal &model_;
    bool canSave_ = false;
    QTableWidget *grid_ = nullptr;
    AnnualJournalChart *chart_ = nullptr;
    QStackedWidget *stack_ = nullptr;
    QPushButton *chartButton_ = nullptr;
    QPushButton *savePictureButton_ = nullptr;
};

// The sub-page "Журнал потребления": read and export buttons, the progress bar and the list
// of records, which follows the model row by row, or in its place the chart.
class ConsumptionJournalPage final : public QWidget {
    Q_OBJECT
public:
    explicit ConsumptionJournalPage(ConsumptionJournal &model, SavePicture savePicture = {}, QWidget *parent = nullptr);

    ConsumptionJournalChart *chart() const { return chart_; }
    void showChart(bool on);

private:
    void appendRow(qsizetype index);

    ConsumptionJournal &model_;
    bool canSave_ = false;
    QTableWidget *list_ = nullptr;
    ConsumptionJournalChart *chart_ = nullptr;
    QStackedWidget *stack_ = nullptr;
    QPushButton *chartButton_ = nullptr;
    QPushButton *savePictureButton_ = nullptr;
};

// The page "Журнал": both journals as inner tabs. Esc stops a journal read.
class JournalPage final : public QWidget {
    Q_OBJECT
public:
    JournalPage(AnnualJournal &annual, ConsumptionJournal &consumption, QWidget *parent = nullptr,
                SavePicture savePicture = {});
    explicit JournalPage(Journals &journals, QWidget *parent = nullptr);

    AnnualJournalPage *annualPage() const { return annual_; }
    ConsumptionJournalPage *consumptionPage() const { return consumption_; }

private:
    AnnualJournalPage *annual_ = nullptr;
    ConsumptionJournalPage *consumption_ = nullptr;
};

} // namespace ordan
