// The exchange log's page: its text keeps exactly the lines the log keeps, at the line cap and
// at the text bound, and offers "Сохранить протокол…" as a button and in its context menu.
#include "link/exchange_log.h"
#include "link/exchange_log_page.h"
#include "support/test_support.h"

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <memory>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct LogPageTest : ::testing::Test {
    test::FakeOperator op;
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9, 120));
    ExchangeLog log{op, [this] { return now; }};
    ExchangeLogPage page{log};
    int saves = 0;

    LogPageTest()
    {
        log.setEngineering(true);
        log.CheckBox_Terminal.set(true);
        log.ActionSaveLog.setHandler([this] { ++saves; });
    }

    QStringList pageLines() const { return page.memo()->toPlainText().split(u'\n'); }
    QStringList logLines() const { return QStringList(log.lines().begin(), log.lines().end()); }
};

TEST_F(LogPageTest, TextFollowsTheLogAtTheLineCapAndAtTheTextBound)
{
    for (int i = 0; i < 1600; ++i)
        log.message(QString::number(i));
    EXPECT_EQ(page.memo()->document()->blockCount(), 1500);
    EXPECT_EQ(pageLines(), logLines());
    EXPECT_EQ(page.memo()->document()->firstBlock().text(), u"100"_s);

    const QByteArray chunk(8192, '\x3C');
    for (int i = 0; i < 60; ++i)
        log.bytesReceived(chunk);
    EXPECT_LT(log.lineCount(), 60);
    EXPECT_EQ(page.memo()->document()->blockCount(), log.lineCount());
    EXPECT_EQ(pageLines(), logLines());

    log.clear();
    EXPECT_EQ(page.memo()->toPlainText(), QString());
    log.message(u"after"_s);
    EXPECT_EQ(pageLines(), QStringList{u"after"_s});
}

TEST_F(LogPageTest, SaveIsAButtonAndAContextMenuItem)
{
    auto *button = page.findChild<QPushButton *>(u"ActionSaveLog"_s);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), u"Сохранить протокол…"_s);
    button->click();
    EXPECT_EQ(saves, 1);

    std::unique_ptr<QMenu> menu(page.createContextMenu());
    QAction *save = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == u"Сохранить протокол…"_s)
            save = a;
    ASSERT_NE(save, nullptr);
    EXPECT_GT(menu->actions().size(), 2) << "the text's own items stay (copy, select all)";
    save->trigger();
    EXPECT_EQ(saves, 2);
}

} // namespace
} // namespace ordan
