#pragma once

// The journals as charts, beside their tables: the annual journal as grouped bars per month,
// the consumption journal as one line per tariff over the records' time stamps. Each follows
// its journal as replies arrive.

#include "journals/journal_chart_data.h"

#include <QByteArray>
#include <QChartView>
#include <QList>

#include <array>
#include <optional>

class QBarCategoryAxis;
class QBarSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace ordan {

// The chart as a PNG image at its size on screen; empty when it cannot be made.
QByteArray ChartPng(QChartView *view);

class AnnualJournalChart final : public QChartView {
    Q_OBJECT
public:
    explicit AnnualJournalChart(AnnualJournal &model, QWidget *parent = nullptr);

    QBarSeries *series() const { return series_; }
    QBarCategoryAxis *monthAxis() const { return months_; }
    QValueAxis *energyAxis() const { return energy_; }

private:
    void render();

    AnnualJournal &model_;
    QBarSeries *series_ = nullptr;
    QBarCategoryAxis *months_ = nullptr;
    QValueAxis *energy_ = nullptr;
};

class ConsumptionJournalChart final : public QChartView {
    Q_OBJECT
public:
    explicit ConsumptionJournalChart(ConsumptionJournal &model, QWidget *parent = nullptr);

    // The pieces of each tariff's line, in the order of the list; a row without time starts a
    // new piece. The first piece of each tariff carries the legend and is there even while
    // the list is empty.
    using Segment = std::array<QLineSeries *, kJournalTariffs>;
    const QList<Segment> &segments() const { return segments_; }
    QDateTimeAxis *timeAxis() const { return time_; }
    QValueAxis *energyAxis() const { return energy_; }

private:
    void appendRow(qsizetype index);
    void clear();
    void startSegment();
    void fitAxes();

    ConsumptionJournal &model_;
    QDateTimeAxis *time_ = nullptr;
    QValueAxis *energy_ = nullptr;
    QList<Segment> segments_;
    bool segmentUsed_ = false;
    std::optional<ConsumptionChartPoint> previous_;
    std::optional<ConsumptionChartPoint> low_;  // the earliest time and the least energies so far
    std::optional<ConsumptionChartPoint> high_; // the latest time and the greatest
};

} // namespace ordan
