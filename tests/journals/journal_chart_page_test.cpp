// The journal pages' charts under the offscreen platform: built from a known journal, following
// it as replies arrive, switched with the table and saved as PNG; and the read button that
// stops a read, with Esc doing the same.
#include "core/bytes.h"
#include "journal_fixture.h"
#include "journals/journal_chart.h"
#include "journals/journal_page.h"
#include "journals/journals.h"
#include "journals/xls_export_files.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QDateTimeAxis>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray Energy(quint64 count)
{
    QByteArray b;
    AppendLittleEndian(b, count, 5);
    return b;
}

QByteArray AnnualReply(quint8 month, quint64 e1, quint64 e2, quint64 e3)
{
    QByteArray body = Bytes({0x12, 0x16, month, 0x26}) + Energy(e1) + Energy(e2) + Energy(e3);
    AppendLittleEndian(body, 120, 3);
    return test::Frame(body);
}

QByteArray ConsumptionReply(quint8 page, quint8 hour, quint8 day, quint8 month, quint64 e1)
{
    QByteArray body =
        Bytes({0x13, 0x1C, page, page, 0x00, hour, day, month}) + Energy(e1) + Energy(e1 * 2) + Energy(e1 * 3);
    AppendLittleEndian(body, 0, 2);
    AppendLittleEndian(body, 245, 3);
    return test::Frame(body);
}

class JournalChartPageTest : public ::testing::Test, public test::JournalEngine {
protected:
    JournalChartPageTest()
    {
        host.onReplyAccepted = [this](quint8 code) { journals.replyAccepted(code); };
        page.resize(625, 380);
        page.show();
    }
    template <typename W> W *find(const QString &name) const { return page.findChild<W *>(name); }
    QPushButton *button(const QString &name) const { return find<QPushButton>(name); }

    AnnualJournal &annual() { return journals.annual(); }
    ConsumptionJournal &consumption() { return journals.consumption(); }
    AnnualJournalChart *annualChart() const { return page.annualPage()->chart(); }
    ConsumptionJournalChart *consumptionChart() const { return page.consumptionPage()->chart(); }

    static std::vector<double> Xs(QLineSeries *line)
    {
        std::vector<double> xs;
        for (const QPointF &p : line->points())
            xs.push_back(p.x());
        return xs;
    }
    static std::vector<double> Ys(QLineSeries *line)
    {
        std::vector<double> ys;
        for (const QPointF &p : line->points())
            ys.push_back(p.y());
        return ys;
    }
    static double At(int month, int day, int hour)
    {
        return static_cast<double>(QDateTime(QDate(2026, month, day), QTime(hour, 0)).toMSecsSinceEpoch());
    }

    const test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    XlsExportFiles files;
    Journals journals{engine, op, facts, files, [] { return 1234; }};
    JournalPage page{journals};
    QTemporaryDir dir;
};

TEST_F(JournalChartPageTest, AnnualChartIsThreeTariffsOfBarsPerMonthFollowingTheTable)
{
    AnnualJournalChart *chart = annualChart();
    ASSERT_NE(chart, nullptr);
    QBarSeries *series = chart->series();
    ASSERT_EQ(series->count(), 3);
    const QList<QBarSet *> sets = series->barSets();
    EXPECT_EQ(sets[0]->label(), u"1 тариф"_s);
    EXPECT_EQ(sets[2]->label(), u"3 тариф"_s);
    for (QBarSet *set : sets) {
        ASSERT_EQ(set->count(), 12);
        for (int m = 0; m < 12; ++m)
            EXPECT_EQ(set->at(m), 0.0);
    }
    EXPECT_EQ(chart->monthAxis()->categories().first(), u"янв."_s);
    EXPECT_EQ(chart->monthAxis()->titleText(), u"Месяц, год"_s);
    EXPECT_EQ(chart->energyAxis()->titleText(), u"Энергия, кВт·ч"_s);
    EXPECT_EQ(chart->chart()->title(), u"Годовой журнал"_s);
    EXPECT_TRUE(chart->chart()->legend()->isVisible());

    annual().decodeReply(AnnualReply(0, 4000, 8000, 12000));
    annual().decodeReply(AnnualReply(6, 400000, 4, 0));
    EXPECT_EQ(sets[0]->at(0), 1.0);
    EXPECT_EQ(sets[1]->at(0), 2.0);
    EXPECT_EQ(sets[2]->at(0), 3.0);
    EXPECT_EQ(sets[0]->at(6), 100.0);
    EXPECT_EQ(sets[1]->at(6), 0.001);
    EXPECT_EQ(sets[0]->at(3), 0.0);
    EXPECT_EQ(chart->monthAxis()->categories()[0], u"янв.<br>26"_s);
    EXPECT_EQ(chart->monthAxis()->categories()[6], u"июль<br>26"_s);
    EXPECT_GE(chart->energyAxis()->max(), 100.0);
    EXPECT_EQ(chart->energyAxis()->min(), 0.0);

    // A new read empties the values, and the bars with them.
    ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
    annual().BitBtn4Click();
    for (QBarSet *set : sets)
        EXPECT_EQ(set->at(0), 0.0);
}

TEST_F(JournalChartPageTest, ConsumptionChartIsThreeLinesWithGapsFollowingTheList)
{
    ConsumptionJournalChart *chart = consumptionChart();
    ASSERT_NE(chart, nullptr);
    ASSERT_EQ(chart->segments().size(), 1) << "the legend's lines are there before any record";
    EXPECT_EQ(chart->segments()[0][0]->name(), u"1 тариф"_s);
    EXPECT_EQ(chart->segments()[0][0]->count(), 0);
    EXPECT_EQ(chart->timeAxis()->titleText(), u"Время"_s);
    EXPECT_EQ(chart->energyAxis()->titleText(), u"Энергия, кВт·ч"_s);
    EXPECT_EQ(chart->chart()->title(), u"Журнал потребления"_s);

    // Pages 0, 1 with time; 2 without (month 13); 3 with; a page without a record leaves no row.
    consumption().decodeReply(ConsumptionReply(0, 0x10, 0x07, 0x03, 4000));
    consumption().decodeReply(ConsumptionReply(1, 0x13, 0x07, 0x03, 8000));
    EXPECT_EQ(chart->segments().size(), 1);
    consumption().decodeReply(ConsumptionReply(2, 0x16, 0x07, 0x13, 12000));
    consumption().decodeReply(test::Frame(Bytes({0x13, 0x03, 3})));
    consumption().decodeReply(ConsumptionReply(4, 0x01, 0x08, 0x03, 16000));
    consumption().decodeReply(ConsumptionReply(5, 0x04, 0x08, 0x03, 20000));
    ASSERT_EQ(consumption().ListView1.size(), 5);

    const auto &segments = chart->segments();
    ASSERT_EQ(segments.size(), 2);
    EXPECT_EQ(Xs(segments[0][0]), (std::vector<double>{At(3, 7, 10), At(3, 7, 13)}));
    EXPECT_EQ(Ys(segments[0][0]), (std::vector<double>{1, 2}));
    EXPECT_EQ(Ys(segments[0][1]), (std::vector<double>{2, 4}));
    EXPECT_EQ(Ys(segments[0][2]), (std::vector<double>{3, 6}));
    EXPECT_EQ(Xs(segments[1][2]), (std::vector<double>{At(3, 8, 1), At(3, 8, 4)}));
    EXPECT_EQ(Ys(segments[1][2]), (std::vector<double>{12, 15}));
    // One legend entry per tariff, however many pieces the lines have.
    page.findChild<QTabWidget *>(u"PageControlJournal"_s)->setCurrentIndex(1);
    page.consumptionPage()->showChart(true);
    int shown = 0;
    for (QLegendMarker *marker : chart->chart()->legend()->markers())
        shown += marker->isVisible() ? 1 : 0;
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(segments[1][0]->pen().color(), segments[0][0]->pen().color());
    EXPECT_EQ(chart->timeAxis()->min(), QDateTime(QDate(2026, 3, 7), QTime(10, 0)));
    EXPECT_EQ(chart->timeAxis()->max(), QDateTime(QDate(2026, 3, 8), QTime(4, 0)));
    EXPECT_LE(chart->energyAxis()->min(), 1.0);
    EXPECT_GE(chart->energyAxis()->max(), 15.0);

    // The whole journal at once gives the same chart as page by page.
    ConsumptionJournalChart again(consumption());
    ASSERT_EQ(again.segments().size(), 2);
    EXPECT_EQ(Xs(again.segments()[1][0]), Xs(segments[1][0]));

    consumption().ListView1.clear();
    ASSERT_EQ(chart->segments().size(), 1);
    EXPECT_EQ(chart->segments()[0][0]->count(), 0);
}

TEST_F(JournalChartPageTest, ChartTakesTheTablesPlaceAndSavesAsPng)
{
    struct Case {
        int tab;
        const char *chartButton;
        const char *saveButton;
        QWidget *table;
    };
    const Case cases[] = {
        {0, "BtnJournalChart", "BtnJournalPicture", find<QWidget>(u"GridJournal"_s)},
        {1, "BtnDiaryChart", "BtnDiaryPicture", find<QWidget>(u"ListView1"_s)},
    };
    annual().decodeReply(AnnualReply(0, 4000, 8000, 12000));
    consumption().decodeReply(ConsumptionReply(0, 0x10, 0x07, 0x03, 4000));
    for (const Case &c : cases) {
        page.findChild<QTabWidget *>(u"PageControlJournal"_s)->setCurrentIndex(c.tab);
        QPushButton *chart = button(QString::fromLatin1(c.chartButton));
        QPushButton *save = button(QString::fromLatin1(c.saveButton));
        ASSERT_NE(chart, nullptr);
        ASSERT_NE(save, nullptr);
        EXPECT_EQ(chart->text(), u"График"_s);
        EXPECT_TRUE(c.table->isVisible());
        EXPECT_FALSE(save->isVisible());

        chart->click();
        EXPECT_EQ(chart->text(), u"Таблица"_s);
        EXPECT_FALSE(c.table->isVisible());
        ASSERT_TRUE(save->isVisible());
        EXPECT_EQ(save->text(), u"Сохранить рисунок…"_s);

        const QString path = dir.filePath(QString::fromLatin1(c.saveButton) + u".png"_s);
        op.nextSaveFile = path;
        save->click();
        EXPECT_EQ(op.lastFilter, u"PNG|*.png"_s);
        EXPECT_EQ(op.lastSuffix, u"png"_s);
        EXPECT_TRUE(op.boxes.empty());
        QImage image;
        ASSERT_TRUE(image.load(path, "PNG")) << c.saveButton;
        EXPECT_GT(image.width(), 500);
        EXPECT_GT(image.height(), 250);

        // Into a folder that does not exist: the warning box, no file.
        op.nextSaveFile = dir.filePath(u"missing/chart.png"_s);
        save->click();
        ASSERT_EQ(op.boxes.size(), 1u);
        EXPECT_EQ(op.boxes[0].text, JournalExport::FailureText());
        op.boxes.clear();

        chart->click();
        EXPECT_TRUE(c.table->isVisible());
        EXPECT_FALSE(save->isVisible());
    }
}

TEST_F(JournalChartPageTest, ReadButtonStopsWhileReadingAndTheGaugeCountsWhatIsLeft)
{
    ASSERT_TRUE(engine.connectLine(u"COM1"_s, 9600));
    page.findChild<QTabWidget *>(u"PageControlJournal"_s)->setCurrentIndex(1);
    QPushButton *read = button(u"BitBtn3"_s);
    auto *gauge = find<QProgressBar>(u"Gauge2"_s);
    ASSERT_NE(read, nullptr);
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(read->text(), u"Прочитать"_s);

    read->click();
    EXPECT_EQ(engine.commands().count(0x13), 250);
    EXPECT_EQ(read->text(), u"Стоп"_s);
    EXPECT_EQ(gauge->text(), u"0%, осталось страниц: 250"_s);
    consumption().decodeReply(test::Frame(Bytes({0x13, 0x03, 100})));
    engine.RemoveHead();
    EXPECT_EQ(gauge->text(), u"40%, осталось страниц: 249"_s);

    read->click();
    EXPECT_EQ(engine.commands().count(0x13), 0);
    EXPECT_EQ(read->text(), u"Прочитать"_s);
    EXPECT_FALSE(engine.commands().isEmpty()) << "back to polling";
    EXPECT_EQ(gauge->text(), u"40%, осталось страниц: 0"_s);

    // Esc stops whichever read is under way, while the page is on screen.
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    page.findChild<QTabWidget *>(u"PageControlJournal"_s)->setCurrentIndex(0);
    button(u"BitBtn4"_s)->click();
    EXPECT_EQ(button(u"BitBtn4"_s)->text(), u"Стоп"_s);
    EXPECT_EQ(find<QProgressBar>(u"Gauge1"_s)->text(), u"0%, осталось месяцев: 12"_s);
    QTest::keyClick(button(u"BitBtn4"_s), Qt::Key_Escape);
    EXPECT_EQ(engine.commands().count(0x12), 0);
    EXPECT_EQ(button(u"BitBtn4"_s)->text(), u"Прочитать"_s);
}

} // namespace
} // namespace ordan
