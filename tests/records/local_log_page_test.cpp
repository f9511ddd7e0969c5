// The page "База данных" as widgets: its controls by name, the fixed window's page area,
// and the operator's edits reaching the model.
#include "records/local_log_page.h"
#include "records/local_table_memory.h"
#include "support/test_support.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableView>
#include <gtest/gtest.h>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

struct LocalLogPageTest : ::testing::Test {
    QObject root;
    Action open{S("ActionOpen"), &root};
    Action close{S("ActionClose"), &root};
    MemoryLocalTable table;
    LocalLogView view{table, open, close, QDate(2026, 12, 8), [](const QString &) {}};
    LocalLogPage page{view};

    LocalLogPageTest()
    {
        close.setEnabled(false);
        table.rows = {{{S("c_number"), 1234}, {S("date_rec"), QDate(2026, 12, 8)}, {S("summer"), true}},
                      {{S("c_number"), 77}, {S("date_rec"), QDate(2026, 12, 8)}}};
    }
};

TEST_F(LocalLogPageTest, FitsThePageAreaOfTheFixedWindow)
{
    const QSize need = page.minimumSizeHint();
    EXPECT_LE(need.width(), 625);
    EXPECT_LE(need.height(), 360);
    page.resize(625, 360);
    page.show();
    ASSERT_NE(page.findChild<QWidget *>(S("Panel6")), nullptr);
    EXPECT_GT(page.grid()->height(), 200);
}

TEST_F(LocalLogPageTest, ShowsTheOpenedRowsInTheGrid)
{
    QTableView *grid = page.findChild<QTableView *>(S("DBGrid1"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->columnCount(), 26);
    EXPECT_EQ(grid->model()->rowCount(), 0);
    EXPECT_EQ(grid->columnWidth(10), 40); // "Сброс"
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(grid->model()->data(grid->model()->index(0, 14)).toString(), S("да"));
    QLabel *count = page.findChild<QLabel *>(S("StatusBar2"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text(), S(" Записей: 2"));
}

TEST_F(LocalLogPageTest, TheOperatorsFilterEditClosesTheView)
{
    auto *spin = page.findChild<QSpinBox *>(S("SpinFilter"));
    auto *from = page.findChild<QDateEdit *>(S("DTP1"));
    auto *to = page.findChild<QDateEdit *>(S("DTP2"));
    ASSERT_TRUE(spin && from && to);
    EXPECT_EQ(from->date(), QDate(2026, 12, 8));
    EXPECT_LT(spin->minimum(), 0); // no lower limit
    ASSERT_TRUE(open.execute());
    spin->setValue(1234);
    EXPECT_EQ(view.SpinFilter.value(), 1234);
    EXPECT_FALSE(view.isOpen());
    EXPECT_EQ(page.findChild<QLabel *>(S("StatusBar2"))->text(), QString());
    ASSERT_TRUE(open.execute());
    EXPECT_EQ(page.grid()->model()->rowCount(), 1);
    to->setDate(QDate(2026, 12, 9));
    EXPECT_FALSE(view.isOpen());
    EXPECT_EQ(page.grid()->model()->rowCount(), 0);
}

} // namespace
} // namespace ordan::test
