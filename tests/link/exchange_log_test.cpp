#include "core/bytes.h"
#include "link/exchange_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

struct LogFixture : ::testing::Test {
    test::FakeOperator op;
    QDateTime now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9, 120));
    ExchangeLog log{op, [this] { return now; }};
};

TEST_F(LogFixture, EngineeringFaceLinesByteForByte)
{
    log.setEngineering(true);
    EXPECT_FALSE(log.CheckBox_Terminal.value());
    log.CheckBox_Terminal.edit(true);

    log.addressSent(0x05);
    now = now.addMSecs(51);
    log.bytesReceived(Bytes({0x05}));
    now = now.addMSecs(1);
    log.requestSent(Bytes({0x00, 0x02, 0x80, 0x71}));
    now = now.addMSecs(88);
    log.bytesReceived(Bytes({0x00, 0x04, 0x05, 0x10, 0x43, 0x79}));
    now = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 10, 185));
    log.timeout();
    log.message(QStringLiteral("Неверный отклик"));

    const std::vector<QString> expected = {
        QStringLiteral("14:05:09.120 Send 05"),           QStringLiteral("14:05:09.171 Received: 05 "),
        QStringLiteral("14:05:09.172 Send 00 02 80 71 "), QStringLiteral("14:05:09.260 Received: 00 04 05 10 43 79 "),
        QStringLiteral("14:05:10:185 Timeout."),          QStringLiteral("Неверный отклик"),
    };
    EXPECT_EQ(std::vector<QString>(log.lines().begin(), log.lines().end()), expected);
    EXPECT_EQ(op.beeps, 0);
}

TEST_F(LogFixture, PlainFaceLogsOnlyTimeoutsAndMessagesAndBeepsOnEveryChange)
{
    log.setEngineering(false);
    EXPECT_TRUE(log.CheckBox_Terminal.value());
    log.addressSent(0x05);
    log.bytesReceived(Bytes({0x05}));
    log.requestSent(Bytes({0x00, 0x02}));
    EXPECT_EQ(log.lineCount(), 0);
    EXPECT_EQ(op.beeps, 0);

    log.timeout();
    log.message(QStringLiteral("Ошибка контрольной суммы"));
    ASSERT_EQ(log.lineCount(), 2);
    EXPECT_EQ(log.lines()[0], QStringLiteral("Timeout."));
    EXPECT_EQ(log.lines()[1], QStringLiteral("Ошибка контрольной суммы"));
    EXPECT_EQ(op.beeps, 2);

    log.clear(); // emptying at connect beeps too
    EXPECT_EQ(log.lineCount(), 0);
    EXPECT_EQ(op.beeps, 3);
}

TEST_F(LogFixture, UntickedSwitchDropsEverythingUntilTickedAgain)
{
    for (bool engineering : {false, true}) {
        log.setEngineering(engineering);
        log.clear();
        log.CheckBox_Terminal.edit(false);
        log.timeout();
        log.message(QStringLiteral("Неверный отклик"));
        log.addressSent(1);
        EXPECT_EQ(log.lineCount(), 0) << engineering;
        log.CheckBox_Terminal.edit(true);
        log.message(QStringLiteral("later"));
        EXPECT_EQ(log.lineCount(), 1) << engineering;
    }
}

TEST_F(LogFixture, KeepsTheNewest1500LinesOneOutPerLineIn)
{
    log.setEngineering(true);
    log.CheckBox_Terminal.set(true);
    int removed = 0;
    QObject::connect(&log, &ExchangeLog::firstLineRemoved, &log, [&] { ++removed; });
    for (int i = 0; i < 1500; ++i)
        log.message(QString::number(i));
    EXPECT_EQ(log.lineCount(), 1500);
    EXPECT_EQ(removed, 0);
    log.message(QStringLiteral("1500"));
    EXPECT_EQ(log.lineCount(), 1500);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(log.lines().front(), QStringLiteral("1"));
    EXPECT_EQ(log.lines().back(), QStringLiteral("1500"));
    for (int i = 0; i < 3000; ++i)
        log.message(QStringLiteral("x"));
    EXPECT_EQ(log.lineCount(), 1500);
    EXPECT_EQ(removed, 3001);
}

} // namespace
} // namespace ordan
