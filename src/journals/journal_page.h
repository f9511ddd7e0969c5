#pragma once

#include <QWidget>

#include <array>

class QTableWidget;

namespace ordan
{

class AnnualJournal;
class ConsumptionJournal;
class Journals;

// Widths of the columns of ListView1, in column order. "Статус" has none of its own and
// takes the width a list column gets by default.
inline constexpr std::array<int, 8> kConsumptionColumnWidths{60, 60, 100, 80, 80, 80, 50, 80};

// The sub-page "Годовой журнал": read and export buttons, the progress bar, the title bar and
// the read-only twelve-month table.
class AnnualJournalPage final : public QWidget
{
    Q_OBJECT
public:
    explicit AnnualJournalPage(AnnualJournal &model, QWidget *parent = nullptr);

private:
    void render();

    AnnualJournal &model_;
    QTableWidget *grid_ = nullptr;
};

// The sub-page "Журнал потребления": read and export buttons, the progress bar and the list
// of records, which follows the model row by row.
class ConsumptionJournalPage final : public QWidget
{
    Q_OBJECT
public:
    explicit ConsumptionJournalPage(ConsumptionJournal &model, QWidget *parent = nullptr);

private:
    void appendRow(qsizetype index);

    ConsumptionJournal &model_;
    QTableWidget *list_ = nullptr;
};

// The page "Журнал": both journals as inner tabs.
class JournalPage final : public QWidget
{
    Q_OBJECT
public:
    JournalPage(AnnualJournal &annual, ConsumptionJournal &consumption, QWidget *parent = nullptr);
    explicit JournalPage(Journals &journals, QWidget *parent = nullptr);
};

} // namespace ordan
