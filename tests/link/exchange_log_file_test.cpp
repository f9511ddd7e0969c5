// The exchange log's history behind the page and the text file made of it: every line with its
// time in both faces, more lines than the page keeps, and the bounds in lines and in text.
#include "core/bytes.h"
#include "link/exchange_log.h"
#include "support/test_support.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct LogFileTest : ::testing::Test {
    test::FakeOperator op;
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9, 120));
    ExchangeLog log{op, [this] { return now; }};
    ExchangeLogHeader header{u"ttyUSB0"_s, 4800, 5, QDateTime(QDate(2026, 12, 8), QTime(15, 0, 1))};

    QStringList fileLines() const
    {
        QStringList lines = QString::fromUtf8(ExchangeLogFileBytes(log, header)).split(u'\n');
        EXPECT_EQ(lines.takeLast(), QString()) << "the file ends with a line break";
        return lines;
    }
    // The lines after the head and its blank line.
    QStringList bodyLines() const
    {
        QStringList lines = fileLines();
        const qsizetype blank = lines.indexOf(QString());
        EXPECT_GE(blank, 0);
        return lines.mid(blank + 1);
    }
};

TEST_F(LogFileTest, HeadNamesPortSpeedAddressAndTheMomentOfSaving)
{
    log.setEngineering(false);
    log.message(u"Неверный отклик"_s);
    const QStringList lines = fileLines();
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines.mid(0, 5), (QStringList{u"Порт: ttyUSB0"_s, u"Скорость: 4800"_s, u"Адрес: 5"_s,
                                            u"Сохранён: 08.12.2026 15:00:01"_s, QString()}));
    EXPECT_EQ(lines.mid(5), QStringList{u"14:05:09.120 Неверный отклик"_s});
}

TEST_F(LogFileTest, EveryLineCarriesItsTimeInBothFaces)
{
    struct Case {
        bool engineering;
        QStringList page;
        QStringList file;
    };
    const Case cases[] = {
        {true,
         {u"14:05:09.120 Send 05"_s, u"14:05:09.171 Received: 05 "_s, u"14:05:09.172 Send 00 02 80 71 "_s,
          u"14:05:10:185 Timeout."_s, u"Неверный отклик"_s},
         // Stamped lines as on the page; the time-out's colon becomes a point; the message
         // gets the time it came.
         {u"14:05:09.120 Send 05"_s, u"14:05:09.171 Received: 05 "_s, u"14:05:09.172 Send 00 02 80 71 "_s,
          u"14:05:10.185 Timeout."_s, u"14:05:10.186 Неверный отклик"_s}},
        {false, {u"Timeout."_s, u"Неверный отклик"_s}, {u"14:05:10.185 Timeout."_s, u"14:05:10.186 Неверный отклик"_s}},
    };
    for (const Case &c : cases) {
        log.setEngineering(c.engineering);
        log.CheckBox_Terminal.set(true);
        log.clear();
        now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9, 120));
        log.addressSent(0x05);
        now = now.addMSecs(51);
        log.bytesReceived(Bytes({0x05}));
        now = now.addMSecs(1);
        log.requestSent(Bytes({0x00, 0x02, 0x80, 0x71}));
        now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 10, 185));
        log.timeout();
        now = now.addMSecs(1);
        log.message(u"Неверный отклик"_s);
        EXPECT_EQ(QStringList(log.lines().begin(), log.lines().end()), c.page) << c.engineering;
        EXPECT_EQ(bodyLines(), c.file) << c.engineering;
    }
}

TEST_F(LogFileTest, FileHoldsEverythingSinceTheEmptyingPastThePage)
{
    log.setEngineering(true);
    log.CheckBox_Terminal.set(true);
    log.message(u"before the connect"_s);
    log.clear();
    const int total = 5000;
    for (int i = 0; i < total; ++i) {
        now = QDateTime(QDate(2026, 12, 8), QTime(14, 0)).addMSecs(i * 7);
        log.message(QString::number(i));
    }
    EXPECT_EQ(log.lineCount(), ExchangeLog::kMaxLines);
    EXPECT_EQ(log.lines().front(), QString::number(total - ExchangeLog::kMaxLines));
    const QStringList body = bodyLines();
    ASSERT_EQ(body.size(), total);
    for (int i : {0, 1, 3499, 3500, 4999}) {
        const QTime t = QTime(14, 0).addMSecs(i * 7);
        EXPECT_EQ(body[i], t.toString(u"hh:mm:ss.zzz"_s) + u' ' + QString::number(i)) << i;
    }
    EXPECT_FALSE(fileLines().join(u'\n').contains(u"before the connect"_s));
}

TEST_F(LogFileTest, HistoryKeepsTheNewestLinesAndTheFileSaysHowManyWentBefore)
{
    log.setEngineering(true);
    log.CheckBox_Terminal.set(true);
    const qsizetype extra = 250;
    for (qsizetype i = 0; i < ExchangeLog::kMaxHistoryLines + extra; ++i)
        log.message(QString::number(i));
    EXPECT_EQ(static_cast<qsizetype>(log.history().size()), ExchangeLog::kMaxHistoryLines);
    EXPECT_EQ(log.historyDropped(), extra);
    EXPECT_EQ(log.history().front().line, QString::number(extra));
    EXPECT_TRUE(fileLines().contains(u"Первые строки не сохранены: 250"_s));
    log.clear();
    EXPECT_EQ(log.historyDropped(), 0);
    EXPECT_TRUE(log.history().empty());
}

TEST_F(LogFileTest, FloodOfLongLinesIsBoundedInTextOnThePageAndInTheHistory)
{
    log.setEngineering(true);
    log.CheckBox_Terminal.set(true);
    int removed = 0;
    QObject::connect(&log, &ExchangeLog::firstLineRemoved, &log, [&] { ++removed; });
    // 4 KB chunks of garbage: three characters a byte on the page.
    const QByteArray chunk(4096, '\x5A');
    const int chunks = 4000; // 16 MB of garbage, 96 MB of page text unbounded
    for (int i = 0; i < chunks; ++i)
        log.bytesReceived(chunk);
    qsizetype pageBytes = 0;
    for (const QString &l : log.lines())
        pageBytes += l.size() * 2;
    EXPECT_LE(pageBytes, ExchangeLog::kMaxBytes);
    EXPECT_LT(log.lineCount(), ExchangeLog::kMaxLines);
    EXPECT_EQ(removed, chunks - log.lineCount()) << "the page is told of every line it loses";
    qsizetype historyBytes = 0;
    for (const ExchangeLog::Entry &e : log.history())
        historyBytes += e.line.size() * 2;
    EXPECT_LE(historyBytes, ExchangeLog::kMaxHistoryBytes);
    EXPECT_GT(historyBytes, ExchangeLog::kMaxHistoryBytes - 2 * (chunk.size() * 3 + 40));
    EXPECT_EQ(log.historyDropped() + static_cast<qint64>(log.history().size()), chunks);

    // One line longer than the page's bound stays: the newest line is always shown.
    const QByteArray huge(ExchangeLog::kMaxBytes / 4, '\x01');
    log.bytesReceived(huge);
    ASSERT_EQ(log.lineCount(), 1);
    EXPECT_TRUE(log.lines().back().endsWith(u"01 "_s));
}

} // namespace
} // namespace ordan
