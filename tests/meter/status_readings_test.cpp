#include "core/bytes.h"
#include "link/frame.h"
#include "meter/readings.h"
#include "meter/status_text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

QStringList Lines(std::initializer_list<const char16_t *> lines)
{
    QStringList out;
    for (const char16_t *l : lines)
        out << QString::fromUtf16(l);
    return out;
}

TEST(MeterStatusText, FullStatusWords)
{
    struct Case {
        quint32 word;
        QStringList lines;
    };
    const Case cases[] = {
        {0x0812, Lines({u"Фиксация нарушения режима потребления.", u"Фаза A : нет связи с ДДМ.",
                        u"Фаза B : нет связи с ДДМ."})},
        {0x0601, Lines({u"Фаза A : номер ДДМ не установлен.", u"Дата и время таймера не установлены.",
                        u"Неисправность таймера календаря."})},
        {0x01C0, Lines({u"Фаза C : отсутствует."})},
        {0xFFFF, Lines({u"Выключение счетчика"})},
        {0xF000, {}},
        {0, {}},
        {0x1FFFF, Lines({u"Фиксация нарушения режима потребления.", u"Фаза A : отсутствует.", u"Фаза B : отсутствует.",
                         u"Фаза C : отсутствует.", u"Дата и время таймера не установлены.",
                         u"Неисправность таймера календаря."})},
        {3 | 4 << 3 | 5 << 6, Lines({u"Фаза A : связь с ДДМ восстановлена.", u"Фаза B : разбаланс ДДМ > ББ.",
                                     u"Фаза C : хищение ДДМ > ББ."})},
        {6 << 3, Lines({u"Фаза B : разбаланс ДДМ < ББ."})},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FullStatusLines(c.word), c.lines) << std::hex << c.word;
}

TEST(MeterStatusText, RadioStatusBytes)
{
    EXPECT_EQ(RadioStatusLines(0xC9),
              Lines({u"Фиксация нарушения режима потребления.", u"Фаза A : нет связи с ДДМ (или ДДМ не установлен).",
                     u"Фаза B : разбаланс каналов.", u"Нет учёта времени."}));
    EXPECT_EQ(RadioStatusLines(0x30), Lines({u"Фаза C : отсутствует."}));
    EXPECT_EQ(RadioStatusLines(0), QStringList{});
}

TEST(MeterStatusText, DialogValues)
{
    EXPECT_EQ(StatusDialogValue(QStringLiteral("65535")), 65535u);
    EXPECT_EQ(StatusDialogValue(QStringLiteral("-5")), 0u);
    EXPECT_EQ(StatusDialogValue(QStringLiteral("abc")), 0u);
    EXPECT_EQ(StatusDialogValue(QString()), 0u);
    EXPECT_EQ(StatusDialogValue(QStringLiteral("70000")), 70000u);
}

struct MeterStatusReplies : ::testing::Test {
    MeterParameters p{Modes{}};
    static QByteArray Full(quint16 w) { return AppendCrc(Bytes({0x06, 0x04, w & 0xFF, w >> 8})); }
    static QByteArray Radio(quint8 b) { return AppendCrc(Bytes({0x0C, 0x03, b})); }
    const QStringList marker{QStringLiteral("marker")};
};

TEST_F(MeterStatusReplies, MemoIsRewrittenOnlyWhenTheSelectedStatusChanges)
{
    DecodeFullStatus(Full(0x01C0), p);
    EXPECT_EQ(p.Memo1.value(), Lines({u"Фаза C : отсутствует."}));
    EXPECT_EQ(p.StatusWord, 0x01C0);
    p.Memo1.set(marker);
    DecodeFullStatus(Full(0x01C0), p);
    EXPECT_EQ(p.Memo1.value(), marker) << "same status: no rewrite";
    p.RadioTStatus.edit(true);
    EXPECT_EQ(p.StatusWord, -1);
    EXPECT_EQ(p.Memo1.value(), marker) << "a click does not clear the memo";
    DecodeFullStatus(Full(0x01C0), p);
    EXPECT_EQ(p.Memo1.value(), Lines({u"Фаза C : отсутствует."}));
}

TEST_F(MeterStatusReplies, StatusZeroAfterClearingDecodesNothing)
{
    p.Memo1.set(marker);
    p.ClearMeterData();
    DecodeFullStatus(Full(0), p);
    EXPECT_TRUE(p.Memo1.value().isEmpty());
    DecodeFullStatus(Full(0xFFFF), p);
    EXPECT_EQ(p.StatusWord, 0xFFFF);
    EXPECT_EQ(p.Memo1.value(), Lines({u"Выключение счетчика"}));
}

TEST_F(MeterStatusReplies, RadioSelectionFollowsTheOtherKind)
{
    DecodeFullStatus(Full(0x0812), p);
    p.RadioRStatus.edit(true);
    EXPECT_FALSE(p.RadioTStatus.value());
    EXPECT_EQ(p.RadioStatus, -1);
    const QStringList full = p.Memo1.value();
    DecodeFullStatus(Full(0x01C0), p);
    EXPECT_EQ(p.Memo1.value(), full) << "full status is not shown while \"Радио\" is selected";
    EXPECT_EQ(p.StatusWord, 0x01C0) << "but it is kept";
    DecodeRadioStatus(Radio(0xC9), p);
    EXPECT_EQ(p.Memo1.value().size(), 4);
    EXPECT_EQ(p.RadioStatus, 0xC9);

    p.RadioTStatus.edit(true);
    EXPECT_FALSE(p.RadioRStatus.value());
    DecodeRadioStatus(Radio(0x01), p);
    EXPECT_EQ(p.Memo1.value().size(), 4) << "radio status not shown while \"Полный\" is selected";
    DecodeFullStatus(Full(0x01C0), p);
    EXPECT_EQ(p.Memo1.value(), Lines({u"Фаза C : отсутствует."}));
}

TEST(MeterReadingText, FiveDecimalsExactly)
{
    test::LocaleScope c(QLocale::c());
    EXPECT_EQ(ReadingText(4000), QStringLiteral("1.00000"));
    EXPECT_EQ(ReadingText(1), QStringLiteral("0.00025"));
    EXPECT_EQ(ReadingText(0), QStringLiteral("0.00000"));
    EXPECT_EQ(ReadingText(quint64{1} << 32), QStringLiteral("1073741.82400"));
    EXPECT_EQ(ReadingText((quint64{1} << 40) - 1), QStringLiteral("274877906.94375"));
    test::LocaleScope ru(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(ReadingText(quint64{1} << 32), QStringLiteral("1073741,82400"));
}

struct MeterReadingsTest : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    MeterParameters p{Modes{}};

    static QByteArray Reply(std::initializer_list<quint64> counters)
    {
        QByteArray body = Bytes({0x0F, static_cast<int>(2 + 5 * counters.size())});
        for (quint64 c : counters)
            AppendLittleEndian(body, c, 5);
        return AppendCrc(body);
    }
    QString cell(const Field<ReadingsGrid> &g, int row) const { return g.value()[static_cast<size_t>(row)][1]; }
};

TEST_F(MeterReadingsTest, CurrentCountersAndTheirSum)
{
    ASSERT_TRUE(DecodeReadings(Reply({4000, 8000, 1}), p));
    EXPECT_EQ(cell(p.GridValue, 1), QStringLiteral("1,00000"));
    EXPECT_EQ(cell(p.GridValue, 2), QStringLiteral("2,00000"));
    EXPECT_EQ(cell(p.GridValue, 3), QStringLiteral("0,00025"));
    EXPECT_EQ(cell(p.GridValue, 4), QStringLiteral("3,00025"));
    EXPECT_EQ(p.GridValue.value()[1][0], QStringLiteral("1 тариф"));
}

TEST_F(MeterReadingsTest, BillingDayCountersOnlyWithTheLongReply)
{
    DecodeReadings(Reply({1, 2, 3, 0, 0, 0}), p);
    for (int row = 1; row <= 4; ++row)
        EXPECT_EQ(cell(p.GridValue_1, row), QStringLiteral("0,00000"));
    DecodeReadings(Reply({4000, 4000, 4000, quint64{1} << 32, 4000, 1}), p);
    EXPECT_EQ(cell(p.GridValue_1, 1), QStringLiteral("1073741,82400"));
    EXPECT_EQ(cell(p.GridValue_1, 4), QStringLiteral("1073742,82425"));
    EXPECT_EQ(cell(p.GridValue, 4), QStringLiteral("3,00000"));

    DecodeReadings(Reply({4000, 8000, 1}), p);
    for (int row = 1; row <= 4; ++row)
        EXPECT_TRUE(cell(p.GridValue_1, row).isEmpty()) << row;
    EXPECT_EQ(p.GridValue_1.value()[4][0], QStringLiteral("сумма"));
}

TEST_F(MeterReadingsTest, OtherLengthsCarryNoBillingDayValues)
{
    DecodeReadings(Reply({1, 2, 3, 0, 0, 0}), p);
    QByteArray odd = Reply({1, 2, 3, 4});
    ASSERT_TRUE(DecodeReadings(odd, p));
    EXPECT_EQ(cell(p.GridValue, 3), QStringLiteral("0,00075"));
    EXPECT_TRUE(cell(p.GridValue_1, 1).isEmpty());
}

TEST_F(MeterReadingsTest, SumOfTheLargestCountersIsExact)
{
    const quint64 max = (quint64{1} << 40) - 1;
    DecodeReadings(Reply({max, max, max}), p);
    EXPECT_EQ(cell(p.GridValue, 4), QStringLiteral("824633720,83125"));
}

} // namespace
} // namespace ordan
