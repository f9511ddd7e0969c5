// The page "Журнал" under the offscreen platform: names, start state, the read-only grid, the
// list's columns, and both following their models.
#include "core/bytes.h"
#include "journal_fixture.h"
#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journal_page.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

class JournalPageTest : public ::testing::Test, public test::JournalEngine {
protected:
    JournalPageTest()
    {
        page.resize(625, 360);
        page.show();
    }
    template <typename W> W *find(const char *name) const { return page.findChild<W *>(QString::fromLatin1(name)); }
    QTableWidget *grid() const { return find<QTableWidget>("GridJournal"); }
    QTableWidget *list() const { return find<QTableWidget>("ListView1"); }
    void showConsumption() { page.findChild<QTabWidget *>()->setCurrentIndex(1); }

    static QByteArray Record(quint8 page)
    {
        QByteArray body = Bytes({0x13, 0x1C, page, page, 0x05, 0x14, 0x07, 0x03});
        body.append(QByteArray(20, '\0'));
        return test::Frame(body);
    }

    const test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    AnnualJournal annual{engine};
    ConsumptionJournal consumption{engine, facts};
    JournalPage page{annual, consumption};
};

TEST_F(JournalPageTest, ControlsCarryTheirNamesAndCaptions)
{
    for (const char *name : {"BitBtn4", "BtnJournal", "BitBtn3", "BtnDiary"})
        EXPECT_NE(find<QPushButton>(name), nullptr) << name;
    EXPECT_EQ(find<QPushButton>("BitBtn4")->text(), u"Прочитать"_s);
    EXPECT_EQ(find<QPushButton>("BtnJournal")->text(), u"Экспорт"_s);
    EXPECT_EQ(find<QPushButton>("BitBtn3")->text(), u"Прочитать"_s);
    EXPECT_EQ(find<QPushButton>("BtnDiary")->text(), u"Экспорт"_s);
    ASSERT_NE(find<QLabel>("Panel3"), nullptr);
    EXPECT_EQ(find<QLabel>("Panel3")->text(), u"Годовой журнал"_s);
    ASSERT_NE(grid(), nullptr);
    ASSERT_NE(list(), nullptr);
    const auto *tabs = page.findChild<QTabWidget *>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), u"Годовой журнал"_s);
    EXPECT_EQ(tabs->tabText(1), u"Журнал потребления"_s);
}

TEST_F(JournalPageTest, GaugesHiddenAtStartAndFollowTheModel)
{
    auto *gauge1 = find<QProgressBar>("Gauge1");
    auto *gauge2 = find<QProgressBar>("Gauge2");
    ASSERT_NE(gauge1, nullptr);
    ASSERT_NE(gauge2, nullptr);
    EXPECT_TRUE(gauge1->isHidden());
    EXPECT_TRUE(gauge2->isHidden());
    EXPECT_EQ(gauge1->maximum(), 12);
    EXPECT_EQ(gauge2->maximum(), 250);

    QTest::mouseClick(find<QPushButton>("BitBtn4"), Qt::LeftButton);
    EXPECT_FALSE(gauge1->isHidden());
    annual.decodeReply(test::Frame(Bytes({0x12, 0x03, 0x04})));
    EXPECT_EQ(gauge1->value(), 5);
    annual.replyAccepted(0x0F);
    EXPECT_TRUE(gauge1->isHidden());

    showConsumption();
    QTest::mouseClick(find<QPushButton>("BitBtn3"), Qt::LeftButton);
    EXPECT_TRUE(gauge2->isVisible());
    consumption.decodeReply(test::Frame(Bytes({0x13, 0x03, 200})));
    EXPECT_EQ(gauge2->value(), 200);
}

TEST_F(JournalPageTest, GridShowsTheTitlesAndMonthsAndCannotBeEdited)
{
    QTableWidget *g = grid();
    EXPECT_EQ(g->columnCount(), 5);
    EXPECT_EQ(g->rowCount(), 12) << "row 0 of the journal is the header";
    EXPECT_EQ(g->horizontalHeaderItem(0)->text(), u"месяц"_s);
    EXPECT_EQ(g->horizontalHeaderItem(4)->text(), u"наработка"_s);
    EXPECT_EQ(g->item(0, 0)->text(), u"янв."_s);
    EXPECT_EQ(g->item(11, 0)->text(), u"дек."_s);
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_NE(g->selectionMode(), QAbstractItemView::NoSelection);

    EXPECT_FALSE(g->item(0, 1)->flags() & Qt::ItemIsEditable);
    for (int r = 0; r < g->rowCount(); ++r)
        for (int c = 0; c < g->columnCount(); ++c)
            EXPECT_FALSE(g->item(r, c)->flags() & Qt::ItemIsEditable) << r << " " << c;

    QByteArray body = Bytes({0x12, 0x16, 0x00, 0x07});
    AppendLittleEndian(body, 4000, 5);
    body.append(QByteArray(10, '\0'));
    AppendLittleEndian(body, 120, 3);
    annual.decodeReply(test::Frame(body));
    EXPECT_EQ(g->item(0, 0)->text(), u"07 янв."_s);
    EXPECT_EQ(g->item(0, 1)->text(), u"1,00000"_s);
    EXPECT_EQ(g->item(0, 4)->text(), u"1:0"_s);
}

TEST_F(JournalPageTest, ListHasItsColumnsAndFollowsTheModelRowByRow)
{
    showConsumption();
    QTableWidget *l = list();
    ASSERT_EQ(l->columnCount(), 8);
    const int widths[] = {60, 60, 100, 80, 80, 80, 50, 80};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(l->horizontalHeaderItem(c)->text(), ConsumptionCaptions()[c]);
        EXPECT_EQ(l->columnWidth(c), widths[c]) << c;
    }
    EXPECT_EQ(l->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(l->showGrid());
    EXPECT_EQ(l->rowCount(), 0);
    EXPECT_EQ(l->horizontalScrollBar()->maximum(), 0) << "the eight columns fit the page";

    // Rows arrive one by one; the ones already shown are not made again.
    for (quint8 p = 0; p < 3; ++p)
        consumption.decodeReply(Record(p));
    ASSERT_EQ(l->rowCount(), 3);
    QTableWidgetItem *first = l->item(0, 0);
    consumption.decodeReply(Record(3));
    EXPECT_EQ(l->item(0, 0), first);
    EXPECT_EQ(l->rowCount(), 4);
    EXPECT_EQ(l->item(3, 0)->text(), u"3"_s);
    EXPECT_EQ(l->item(3, 2)->text(), u"07.03 14:05"_s);

    consumption.BitBtn3Click();
    EXPECT_EQ(l->rowCount(), 0);
}

TEST_F(JournalPageTest, AFullListGrowsRowByRow)
{
    showConsumption();
    // Replies come some 60 ms apart, so the list is painted every few rows at most.
    for (int p = 0; p < 250; ++p) {
        consumption.decodeReply(Record(static_cast<quint8>(p)));
        if (p % 10 == 9)
            QCoreApplication::processEvents();
    }
    EXPECT_EQ(list()->rowCount(), 250);
    EXPECT_EQ(list()->item(249, 0)->text(), u"249"_s);
}

TEST_F(JournalPageTest, PageFitsTheMainWindowsPageArea)
{
    EXPECT_LE(page.minimumSizeHint().width(), 625);
    EXPECT_LE(page.minimumSizeHint().height(), 360);
    // All twelve months show without scrolling.
    QTest::qWait(0);
    EXPECT_EQ(grid()->verticalScrollBar()->maximum(), 0);
}

TEST_F(JournalPageTest, ButtonsRunTheirActions)
{
    int exports = 0;
    annual.BtnJournal.setHandler([&exports] { ++exports; });
    consumption.BtnDiary.setHandler([&exports] { ++exports; });
    QTest::mouseClick(find<QPushButton>("BtnJournal"), Qt::LeftButton);
    showConsumption();
    QTest::mouseClick(find<QPushButton>("BtnDiary"), Qt::LeftButton);
    EXPECT_EQ(exports, 2);
}

} // namespace
} // namespace ordan
