#include "core/bytes.h"
#include "link/catalogue.h"
#include "link/frame.h"
#include "link/reply_judge.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace ordan {
namespace {

using test::FromHex;
using test::Hex;

TEST(Crc, CheckValueOfCrc16Modbus)
{
    EXPECT_EQ(Crc16Modbus("123456789"), 0x4B37);
    EXPECT_EQ(Crc16Modbus(""), 0xFFFF);
}

TEST(Crc, WorkedFrames)
{
    const struct {
        const char *body;
        const char *frame;
    } cases[] = {
        {"00 02", "00 02 80 71"},
        {"01 02", "01 02 81 E1"},
        {"12 03 00", "12 03 00 D1 35"},
        {"13 03 00", "13 03 00 80 F5"},
        {"08 02", "08 02 87 B1"},
        {"09 02", "09 02 86 21"},
        {"26 03 00", "26 03 00 90 FB"},
        {"27 05 00 01 01", "27 05 00 01 01 D0 9B"},
        {"29 07 00 07 03 10 06", "29 07 00 07 03 10 06 DE C3"},
        {"2F 08 FF FF FF FF FF FF", "2F 08 FF FF FF FF FF FF 8A 1C"},
        {"09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30",
         "09 14 01 00 00 02 06 30 03 08 30 02 11 30 03 17 30 02 20 30 5D 67"},
        {"", "FF FF"},
    };
    for (const auto &c : cases) {
        const QByteArray frame = AppendCrc(FromHex(QString::fromLatin1(c.body)));
        EXPECT_EQ(Hex(frame), QString::fromLatin1(c.frame)) << c.body;
        EXPECT_TRUE(CheckReplyCrc(frame)) << c.body;
    }
}

TEST(Crc, CheckReplyCrcRejectsShortAndDamagedReplies)
{
    EXPECT_FALSE(CheckReplyCrc(QByteArray()));
    EXPECT_FALSE(CheckReplyCrc(FromHex(QStringLiteral("FF"))));
    EXPECT_TRUE(CheckReplyCrc(FromHex(QStringLiteral("FF FF"))));
    EXPECT_FALSE(CheckReplyCrc(FromHex(QStringLiteral("00 02 80 70"))));
    EXPECT_FALSE(CheckReplyCrc(FromHex(QStringLiteral("00 02 71 80"))));
}

TEST(Catalogue, ThirtyCodesWithTheirRequestLengths)
{
    const auto all = CommandCatalogue();
    ASSERT_EQ(all.size(), 30u);
    std::set<int> codes;
    for (const CommandInfo &c : all)
        codes.insert(CodeByte(c.code));
    EXPECT_EQ(codes.size(), 30u);
    for (int never : {16, 21, 33, 37, 43, 44, 45, 48, 127})
        EXPECT_EQ(FindCommand(static_cast<quint8>(never)), nullptr) << never;
    EXPECT_EQ(FindCommand(0x05)->requestLength, 10);
    EXPECT_EQ(FindCommand(0x0B)->requestLength, 11);
    EXPECT_EQ(FindCommand(0x09)->altRequestLength, 20);
    EXPECT_EQ(FindCommand(0x29)->altRequestLength, 7);
    EXPECT_EQ(FindCommand(0x2F)->requestLength, 8);
}

TEST(ReplyJudge, ErrorReplyMessages)
{
    const struct {
        int code;
        const char *message;
    } cases[] = {
        {1, "Ошибка: Неизвестная функция"},
        {2, "Ошибка: Неверная длина запроса"},
        {3, "Ошибка: Неверная контрольная сумма"},
        {4, "Ошибка: Неверные данные запроса"},
        {5, "Ошибка: Память защищена"},
        {6, "Ошибка: Доступ запрещен"},
        {0, "Неизвестная ошибка"},
        {7, "Неизвестная ошибка"},
        {9, "Неизвестная ошибка"},
        {255, "Неизвестная ошибка"},
    };
    for (const auto &c : cases) {
        const QByteArray reply = AppendCrc(Bytes({0x94, 0x03, c.code}));
        const Judgement j = JudgeReply(reply, AppendCrc(Bytes({0x14, 0x04, 0x01, 0x00})));
        EXPECT_EQ(j.verdict, Verdict::ErrorReply) << c.code;
        EXPECT_EQ(j.errorCode, c.code);
        EXPECT_EQ(j.message, QString::fromUtf8(c.message));
    }
}

TEST(ReplyJudge, TestsInTheirOrder)
{
    const QByteArray passwordRequest = FromHex(QStringLiteral("14 04 01 00 00 00"));
    const QByteArray clockRequest = AppendCrc(Bytes({0x04, 0x02}));
    const QByteArray errorReply = FromHex(QStringLiteral("94 03 06 B0 DE"));
    const QByteArray tooLong = AppendCrc(Bytes({0x04, 0x04, 0x11, 0x22})) + Bytes({0x33});
    const struct {
        const char *name;
        QByteArray reply;
        QByteArray request;
        Verdict verdict;
        const char *message;
    } cases[] = {
        {"error reply to 0x14", errorReply, passwordRequest, Verdict::ErrorReply, "Ошибка: Доступ запрещен"},
        {"same bytes to 0x04", errorReply, clockRequest, Verdict::Wrong, "Неверный отклик"},
        {"error reply, bad crc", FromHex(QStringLiteral("94 03 06 B0 DF")), passwordRequest, Verdict::Wrong,
         "Неверный отклик"},
        {"one byte", Bytes({0x04}), clockRequest, Verdict::Incomplete, ""},
        {"short of L+2", Bytes({0x04, 0x04, 0x11}), clockRequest, Verdict::Incomplete, ""},
        {"too long in one piece", tooLong, clockRequest, Verdict::TooLong, "Отклик длиннее требуемого"},
        {"bad crc", FromHex(QStringLiteral("04 02 00 00")), clockRequest, Verdict::BadCrc, "Ошибка контрольной суммы"},
        {"valid", AppendCrc(Bytes({0x04, 0x04, 0x11, 0x22})), clockRequest, Verdict::Valid, ""},
        {"length byte 0, two bytes", Bytes({0x04, 0x00}), clockRequest, Verdict::BadCrc, "Ошибка контрольной суммы"},
        {"length byte 1, two bytes", Bytes({0x05, 0x01}), clockRequest, Verdict::Incomplete, ""},
        {"length byte 1, three bytes", Bytes({0x05, 0x01, 0x00}), clockRequest, Verdict::Wrong, "Неверный отклик"},
    };
    for (const auto &c : cases) {
        const Judgement j = JudgeReply(c.reply, c.request);
        EXPECT_EQ(j.verdict, c.verdict) << c.name;
        EXPECT_EQ(j.message, QString::fromUtf8(c.message)) << c.name;
    }
}

TEST(ReplyJudge, TooLongReplyIsJudgedOnAllBytesHeld)
{
    // L = 4, seven bytes: in one piece and as 4 + 3 the verdict is "too long"; as 6 + 1 the
    // frame is already complete and valid at six bytes.
    const QByteArray request = AppendCrc(Bytes({0x04, 0x02}));
    const QByteArray seven = AppendCrc(Bytes({0x04, 0x04, 0x11, 0x22})) + Bytes({0x55});
    EXPECT_EQ(JudgeReply(seven, request).verdict, Verdict::TooLong);
    EXPECT_EQ(JudgeReply(seven.first(4), request).verdict, Verdict::Incomplete);
    EXPECT_EQ(JudgeReply(seven, request).verdict, Verdict::TooLong);
    EXPECT_EQ(JudgeReply(seven.first(6), request).verdict, Verdict::Valid);
}

TEST(Bytes, BcdAndLittleEndian)
{
    EXPECT_EQ(BcdDecode(0x1A), 20);
    EXPECT_EQ(BcdDecode(0xFF), 165);
    EXPECT_EQ(BcdDecode(0x59), 59);
    EXPECT_EQ(BcdEncode(59), 0x59);
    EXPECT_EQ(BcdEncode(7), 0x07);
    const QByteArray b = FromHex(QStringLiteral("39 30 01"));
    EXPECT_EQ(LittleEndian(b, 0, 3), 77881u);
    EXPECT_EQ(LittleEndian(b, 1, 3), 0x0130u); // bytes past the end read as 0
    EXPECT_EQ(ByteAt(b, 3), 0);
    EXPECT_EQ(ByteAt(b, -1), 0);
}

} // namespace
} // namespace ordan
