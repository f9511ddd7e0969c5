#include "journals/journal_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPixmap>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

namespace {

const std::array<QColor, kJournalTariffs> kTariffColors{QColor(0x1f, 0x77, 0xb4), QColor(0xe6, 0x7e, 0x22),
                                                        QColor(0x2c, 0xa0, 0x2c)};
constexpr double kMinuteMs = 60'000;

QString EnergyTitle() { return u"Энергия, кВт·ч"_s; }

QChart *NewChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    QFont titleFont = chart->titleFont();
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale());
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

// Whole numbers for large energies, decimals where the range is small.
void SetEnergyRange(QValueAxis *axis, double low, double high)
{
    if (!(high > low)) {
        const double pad = std::max(1.0, std::abs(high) * 0.05);
        low -= pad;
        high += pad;
    }
    axis->setRange(low, high);
    axis->applyNiceNumbers();
    const double span = axis->max() - axis->min();
    axis->setLabelFormat(span >= 50 ? u"%.0f"_s : span >= 5 ? u"%.1f"_s : u"%.3f"_s);
}

} // namespace

QByteArray ChartPng(QChartView *view)
{
    if (!view)
        return {};
    const QPixmap picture = view->grab();
    if (picture.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return {};
    return bytes;
}

AnnualJournalChart::AnnualJournalChart(AnnualJournal &model, QWidget *parent)
    // Given its chart at construction: a view made without one makes a default chart, which
    // setChart() would orphan.
    : QChartView(NewChart(u"Годовой журнал"_s), parent), model_(model)
{
    setObjectName(u"ChartJournal"_s);
    setRenderHint(QPainter::Antialiasing);
    QChart *c = chart();
    series_ = new QBarSeries(c);
    for (int t = 0; t < kJournalTariffs; ++t) {
        auto *set = new QBarSet(JournalTariffNames()[t], series_);
        set->setColor(kTariffColors[static_cast<size_t>(t)]);
        set->setBorderColor(kTariffColors[static_cast<size_t>(t)].darker(120));
        for (int m = 0; m < kAnnualMonths; ++m)
            set->append(0.0);
        series_->append(set);
    }
    c->addSeries(series_);
    months_ = new QBarCategoryAxis(c);
    months_->setTitleText(u"Месяц, год"_s);
    energy_ = new QValueAxis(c);
    energy_->setTitleText(EnergyTitle());
    c->addAxis(months_, Qt::AlignBottom);
    c->addAxis(energy_, Qt::AlignLeft);
    series_->attachAxis(months_);
    series_->attachAxis(energy_);
    render();
    connect(&model.GridJournal, &FieldBase::valueChanged, this, &AnnualJournalChart::render);
}

void AnnualJournalChart::render()
{
    const AnnualChartData data = AnnualChart(model_.GridJournal.value());
    // "26 янв." of the table as the month over its year: twelve of them fit the window so.
    QStringList labels;
    for (const QString &month : data.months) {
        const qsizetype blank = month.indexOf(u' ');
        labels.append(blank < 0 ? month : month.mid(blank + 1) + u"<br>"_s + month.left(blank));
    }
    if (months_->categories() != labels) {
        months_->clear();
        months_->append(labels);
    }
    double high = 0;
    const QList<QBarSet *> sets = series_->barSets();
    for (int t = 0; t < kJournalTariffs; ++t) {
        const QList<double> &values = data.energy[static_cast<size_t>(t)];
        for (qsizetype m = 0; m < values.size(); ++m) {
            if (sets[t]->at(m) != values[m])
                sets[t]->replace(m, values[m]);
            high = std::max(high, values[m]);
        }
    }
    SetEnergyRange(energy_, 0, high > 0 ? high : 1);
}

ConsumptionJournalChart::ConsumptionJournalChart(ConsumptionJournal &model, QWidget *parent)
    // Given its chart at construction: a view made without one makes a default chart, which
    // setChart() would orphan.
    : QChartView(NewChart(u"Журнал потребления"_s), parent), model_(model)
{
    setObjectName(u"ChartDiary"_s);
    setRenderHint(QPainter::Antialiasing);
    QChart *c = chart();
    time_ = new QDateTimeAxis(c);
    time_->setTitleText(u"Время"_s);
    time_->setFormat(u"dd.MM hh:mm"_s);
    time_->setTickCount(5);
    energy_ = new QValueAxis(c);
    energy_->setTitleText(EnergyTitle());
    // Qt Charts leaves out an axis added to a chart without series: the legend's lines go first.
    startSegment();
    c->addAxis(time_, Qt::AlignBottom);
    c->addAxis(energy_, Qt::AlignLeft);
    for (QLineSeries *line : segments_.first()) {
        line->attachAxis(time_);
        line->attachAxis(energy_);
    }
    fitAxes();
    for (qsizetype i = 0; i < model.ListView1.size(); ++i)
        appendRow(i);
    connect(&model.ListView1, &ConsumptionList::rowAppended, this, &ConsumptionJournalChart::appendRow);
    connect(&model.ListView1, &ConsumptionList::rowsCleared, this, &ConsumptionJournalChart::clear);
}

void ConsumptionJournalChart::clear()
{
    chart()->removeAllSeries();
    segments_.clear();
    segmentUsed_ = false;
    previous_.reset();
    low_.reset();
    high_.reset();
    startSegment();
    fitAxes();
}

void ConsumptionJournalChart::startSegment()
{
    Segment segment{};
    for (int t = 0; t < kJournalTariffs; ++t) {
        auto *line = new QLineSeries(chart());
        line->setName(JournalTariffNames()[t]);
        QPen pen(kTariffColors[static_cast<size_t>(t)]);
        pen.setWidthF(1.5);
        line->setPen(pen);
        // A record alone between two gaps still shows, as a dot.
        line->setPointsVisible(true);
        line->setMarkerSize(4);
        chart()->addSeries(line);
        if (!chart()->axes().isEmpty()) {
            line->attachAxis(time_);
            line->attachAxis(energy_);
        }
        if (!segments_.isEmpty()) {
            const auto markers = chart()->legend()->markers(line);
            for (QLegendMarker *marker : markers)
                marker->setVisible(false);
        }
        segment[static_cast<size_t>(t)] = line;
    }
    segments_.append(segment);
    segmentUsed_ = false;
}

void ConsumptionJournalChart::appendRow(qsizetype index)
{
    const auto point = ConsumptionChartPointOf(model_.ListView1.rows()[index], model_.now());
    if (point) {
        if (segmentUsed_ && !ContinuesLine(previous_, *point))
            startSegment();
        segmentUsed_ = true;
        const auto x = static_cast<qreal>(point->time.toMSecsSinceEpoch());
        for (int t = 0; t < kJournalTariffs; ++t) {
            QLineSeries *line = segments_.last()[static_cast<size_t>(t)];
            line->append(x, point->energy[static_cast<size_t>(t)]);
            // Dots only where a record stands alone; on a line they would thicken it.
            if (line->count() == 2)
                line->setPointsVisible(false);
        }
        if (!low_) {
            low_ = point;
            high_ = point;
        } else {
            low_->time = std::min(low_->time, point->time);
            high_->time = std::max(high_->time, point->time);
            for (size_t t = 0; t < kJournalTariffs; ++t) {
                low_->energy[t] = std::min(low_->energy[t], point->energy[t]);
                high_->energy[t] = std::max(high_->energy[t], point->energy[t]);
            }
        }
        fitAxes();
    }
    previous_ = point;
}

void ConsumptionJournalChart::fitAxes()
{
    if (!low_) {
        const QDateTime now = model_.now();
        time_->setRange(now.addDays(-1), now);
        SetEnergyRange(energy_, 0, 1);
        return;
    }
    QDateTime from = low_->time;
    QDateTime to = high_->time;
    if (from.msecsTo(to) < 60 * kMinuteMs) {
        from = from.addSecs(-30 * 60);
        to = to.addSecs(30 * 60);
    }
    time_->setRange(from, to);
    SetEnergyRange(energy_, *std::min_element(low_->energy.begin(), low_->energy.end()),
                   *std::max_element(high_->energy.begin(), high_->energy.end()));
}

} // namespace ordan
