#include "link/frame.h"
#include "link/reply_judge.h"
#include "sim/meter_endpoint.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::FromHex;
using test::Hex;

const QByteArray kVersionRequest = FromHex(QStringLiteral("00 02 80 71"));
const QByteArray kVersionReply = AppendCrc(FromHex(QStringLiteral("00 04 03 10")));

// "gap:bytes" per emission, for compact assertions.
QString Show(const std::vector<Emission> &emissions)
{
    QStringList parts;
    for (const Emission &e : emissions)
        parts << QString::number(e.gapMs) + QLatin1Char(':') + Hex(e.bytes);
    return parts.join(QStringLiteral(" | "));
}

QString Wire(const QByteArray &bytes, qint64 gap = 5) { return QString::number(gap) + QLatin1Char(':') + Hex(bytes); }

class MeterEndpointTest : public ::testing::Test {
protected:
    // One exchange as the station makes it over a pseudo-terminal: address, then the frame.
    std::pair<QString, QString> Exchange(quint8 address, const QByteArray &frame)
    {
        const QString echo = Show(endpoint.receive(QByteArray(1, static_cast<char>(address)), t));
        t += 10;
        const QString reply = Show(endpoint.receive(frame, t));
        t += 200;
        return {echo, reply};
    }

    qint64 t = 1000;
    SimulatedMeter meter{[this] { return t; }};
    MeterEndpoint endpoint{meter};
};

TEST_F(MeterEndpointTest, EchoesItsAddressThenAnswersTheFrame)
{
    const auto [echo, reply] = Exchange(0, kVersionRequest);
    EXPECT_EQ(echo, QStringLiteral("5:00"));
    EXPECT_EQ(reply, Wire(kVersionReply));
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Idle);
    ASSERT_EQ(endpoint.requests().size(), 1u);
    EXPECT_EQ(endpoint.requests()[0], kVersionRequest);
}

TEST_F(MeterEndpointTest, FrameMayArriveInPieces)
{
    endpoint.receive(QByteArray(1, '\0'), t);
    EXPECT_EQ(Show(endpoint.receive(kVersionRequest.left(1), t + 1)), QString());
    EXPECT_EQ(Show(endpoint.receive(kVersionRequest.mid(1, 2), t + 2)), QString());
    EXPECT_EQ(Show(endpoint.receive(kVersionRequest.mid(3), t + 3)), Wire(kVersionReply));
}

TEST_F(MeterEndpointTest, AddressFrameInOnePieceGivesEchoAndReply)
{
    EXPECT_EQ(Show(endpoint.receive(QByteArray(QByteArray(1, 0) + kVersionRequest), t)),
              QStringLiteral("5:00 | ") + Wire(kVersionReply));
}

TEST_F(MeterEndpointTest, OtherAddressesAreIgnoredUntilASilence)
{
    meter.state().busAddress = 7;
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\0'), t)), QString());
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Ignoring);
    // Its own address inside another meter's exchange is just a byte.
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\x07'), t + 50)), QString());
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\x07'), t + 100)), QString());
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\x07'), t + 201)), QStringLiteral("5:07"));
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Frame);
}

TEST_F(MeterEndpointTest, ASilenceEndsAPartFrame)
{
    endpoint.receive(QByteArray(1, '\0'), t);
    endpoint.receive(kVersionRequest.left(2), t + 5);
    // The rest comes too late: the meter takes 80 as an address byte, not its own.
    EXPECT_EQ(Show(endpoint.receive(kVersionRequest.mid(2), t + 5 + MeterEndpoint::kFrameGapMs + 1)), QString());
    EXPECT_TRUE(endpoint.requests().empty());
    t += 1000;
    EXPECT_EQ(Exchange(0, kVersionRequest).second, Wire(kVersionReply));
}

TEST_F(MeterEndpointTest, OverlongFrameIsDropped)
{
    endpoint.receive(QByteArray(1, '\0'), t);
    EXPECT_EQ(Show(endpoint.receive(FromHex(QStringLiteral("00 FF 00 00")), t + 1)), QString());
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Ignoring);
}

TEST_F(MeterEndpointTest, FrameWithWrongLengthForItsCodeGetsErrorTwo)
{
    const QByteArray request = AppendCrc(FromHex(QStringLiteral("00 03 00")));
    EXPECT_EQ(Exchange(0, request).second, Wire(AppendCrc(FromHex(QStringLiteral("80 03 02")))));
}

TEST_F(MeterEndpointTest, ParityWhenKnownDecidesWhatIsAnAddress)
{
    // A space-parity byte is never an address, even its own.
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\0'), t, Parity::Space)), QString());
    EXPECT_EQ(endpoint.phase(), MeterEndpoint::Phase::Idle);
    // A mark-parity byte is always one, even in the middle of a frame.
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\0'), t, Parity::Mark)), QStringLiteral("5:00"));
    endpoint.receive(kVersionRequest.left(2), t + 1, Parity::Space);
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\0'), t + 2, Parity::Mark)), QStringLiteral("5:00"));
    EXPECT_EQ(Show(endpoint.receive(kVersionRequest, t + 3, Parity::Space)), Wire(kVersionReply));
}

TEST_F(MeterEndpointTest, TurnaroundIsConfigurable)
{
    endpoint.setTurnaroundMs(0);
    EXPECT_EQ(Exchange(0, kVersionRequest).first, QStringLiteral("0:00"));
}

TEST_F(MeterEndpointTest, AddressWrittenByCodeThreeTakesEffectAfterTheReply)
{
    Exchange(0, AppendCrc(FromHex(QStringLiteral("14 04 01 00"))));
    const auto [echo, reply] = Exchange(0, AppendCrc(FromHex(QStringLiteral("03 03 09"))));
    EXPECT_EQ(reply, Wire(AppendCrc(FromHex(QStringLiteral("03 02")))));
    EXPECT_EQ(Exchange(0, kVersionRequest).first, QString());
    t += 1000;
    EXPECT_EQ(Exchange(9, kVersionRequest).second, Wire(kVersionReply));
}

struct FaultCase {
    const char *name;
    Faults faults;
    const char *echo;
    const char *reply;
};

Faults Make(std::function<void(Faults &)> f)
{
    Faults faults;
    f(faults);
    return faults;
}

// The case's name is all a test listing needs to show of it.
void PrintTo(const FaultCase &c, std::ostream *os) { *os << c.name; }

class FaultTest : public MeterEndpointTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, FaultShapesTheExchange)
{
    endpoint.setFaults(GetParam().faults);
    const auto [echo, reply] = Exchange(0, kVersionRequest);
    EXPECT_EQ(echo, QString::fromLatin1(GetParam().echo));
    EXPECT_EQ(reply, QString::fromLatin1(GetParam().reply));
}

// The version reply is 00 04 03 10 40 D9.
INSTANTIATE_TEST_SUITE_P(
    Faults, FaultTest,
    ::testing::Values(
        FaultCase{"none", {}, "5:00", "5:00 04 03 10 40 D9"},
        FaultCase{"noEcho", Make([](Faults &f) { f.noEcho = true; }), "", "5:00 04 03 10 40 D9"},
        FaultCase{"wrongEcho", Make([](Faults &f) { f.wrongEcho = true; }), "5:01", "5:00 04 03 10 40 D9"},
        FaultCase{"silence", Make([](Faults &f) { f.silence = true; }), "5:00", ""},
        FaultCase{"error", Make([](Faults &f) { f.errorCode = 6; }), "5:00", "5:80 03 06 F0 DA"},
        FaultCase{"badCrc", Make([](Faults &f) { f.badCrc = true; }), "5:00", "5:00 04 03 10 40 26"},
        FaultCase{"wrongCode", Make([](Faults &f) { f.wrongCode = true; }), "5:00", "5:01 04 03 10 41 25"},
        FaultCase{"extra", Make([](Faults &f) { f.extraBytes = 2; }), "5:00", "5:00 04 03 10 40 D9 00 00"},
        FaultCase{"chunks", Make([](Faults &f) { f.chunkSize = 4; }), "5:00", "5:00 04 03 10 | 10:40 D9"},
        FaultCase{"chunkGap", Make([](Faults &f) {
                      f.chunkSize = 2;
                      f.chunkGapMs = 30;
                  }),
                  "5:00", "5:00 04 | 30:03 10 | 30:40 D9"},
        FaultCase{"delay", Make([](Faults &f) { f.delayMs = 200; }), "5:00", "205:00 04 03 10 40 D9"},
        FaultCase{"stray", Make([](Faults &f) { f.strayByte = true; }), "5:00", "5:00 04 03 10 40 D9 | 20:FF"},
        FaultCase{"otherCode", Make([](Faults &f) {
                      f.silence = true;
                      f.onlyCode = 0x14;
                  }),
                  "5:00", "5:00 04 03 10 40 D9"},
        FaultCase{"thisCode", Make([](Faults &f) {
                      f.silence = true;
                      f.onlyCode = 0x00;
                  }),
                  "5:00", ""},
        FaultCase{"spent", Make([](Faults &f) {
                      f.silence = true;
                      f.exchanges = 0;
                  }),
                  "5:00", "5:00 04 03 10 40 D9"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MeterEndpointTest, FaultedRepliesGetTheStationsVerdicts)
{
    const struct {
        Faults faults;
        Verdict verdict;
    } cases[] = {
        {Make([](Faults &f) { f.badCrc = true; }), Verdict::BadCrc},
        {Make([](Faults &f) { f.wrongCode = true; }), Verdict::Wrong},
        {Make([](Faults &f) { f.extraBytes = 1; }), Verdict::TooLong},
        {Make([](Faults &f) { f.errorCode = 5; }), Verdict::ErrorReply},
        {{}, Verdict::Valid},
    };
    for (const auto &c : cases) {
        endpoint.setFaults(c.faults);
        endpoint.receive(QByteArray(1, '\0'), t);
        const auto out = endpoint.receive(kVersionRequest, t + 5);
        t += 500;
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(JudgeReply(out[0].bytes, kVersionRequest).verdict, c.verdict);
    }
}

TEST_F(MeterEndpointTest, CountedFaultsApplyToTheNextExchangesOnly)
{
    endpoint.setFaults(Make([](Faults &f) {
        f.errorCode = 4;
        f.exchanges = 2;
    }));
    const QString refused = Wire(AppendCrc(FromHex(QStringLiteral("80 03 04"))));
    EXPECT_EQ(Exchange(0, kVersionRequest).second, refused);
    EXPECT_EQ(Exchange(0, kVersionRequest).second, refused);
    EXPECT_EQ(Exchange(0, kVersionRequest).second, Wire(kVersionReply));
    EXPECT_EQ(endpoint.faults().exchanges, 0);
}

TEST_F(MeterEndpointTest, CodeFilteredFaultsCountOnlyTheirCode)
{
    endpoint.setFaults(Make([](Faults &f) {
        f.errorCode = 6;
        f.onlyCode = 0x01;
        f.exchanges = 1;
    }));
    const QByteArray serial = FromHex(QStringLiteral("01 02 81 E1"));
    EXPECT_EQ(Exchange(0, kVersionRequest).second, Wire(kVersionReply));
    EXPECT_EQ(Exchange(0, serial).second, Wire(AppendCrc(FromHex(QStringLiteral("81 03 06")))));
    EXPECT_EQ(Exchange(0, serial).second, Wire(AppendCrc(FromHex(QStringLiteral("01 05 39 30 01")))));
}

TEST_F(MeterEndpointTest, EchoFaultsSpendOneExchangeAtTheAddress)
{
    endpoint.setFaults(Make([](Faults &f) {
        f.noEcho = true;
        f.exchanges = 1;
    }));
    EXPECT_EQ(Show(endpoint.receive(QByteArray(1, '\0'), t)), QString());
    t += 500;
    EXPECT_EQ(Exchange(0, kVersionRequest).first, QStringLiteral("5:00"));
}

TEST_F(MeterEndpointTest, InjectedErrorLeavesTheRequestUndone)
{
    Exchange(0, AppendCrc(FromHex(QStringLiteral("14 04 01 00"))));
    endpoint.setFaults(Make([](Faults &f) { f.errorCode = 5; }));
    Exchange(0, AppendCrc(FromHex(QStringLiteral("03 03 09"))));
    EXPECT_EQ(meter.state().busAddress, 0);
    // A garbled reply does not undo the request: the meter did carry it out.
    endpoint.setFaults(Make([](Faults &f) { f.silence = true; }));
    Exchange(0, AppendCrc(FromHex(QStringLiteral("03 03 09"))));
    EXPECT_EQ(meter.state().busAddress, 9);
}

TEST(ParseFault, CommandLineFaults)
{
    Faults f;
    for (const char *text : {"no-echo", "wrong-echo", "silence", "error=6", "bad-crc", "wrong-code", "extra=3",
                             "chunks=2", "chunk-gap=15", "delay=200", "stray", "stray-gap=40", "error=0x05"})
        EXPECT_TRUE(ParseFault(QString::fromLatin1(text), f)) << text;
    EXPECT_TRUE(f.noEcho && f.wrongEcho && f.silence && f.badCrc && f.wrongCode && f.strayByte);
    EXPECT_EQ(f.errorCode, 5);
    EXPECT_EQ(f.extraBytes, 3);
    EXPECT_EQ(f.chunkSize, 2);
    EXPECT_EQ(f.chunkGapMs, 15);
    EXPECT_EQ(f.delayMs, 200);
    EXPECT_EQ(f.strayGapMs, 40);
    for (const char *text : {"", "echo", "error", "error=256", "chunks=0", "delay=-1", "delay=x", "no-echo=1"})
        EXPECT_FALSE(ParseFault(QString::fromLatin1(text), f)) << text;
}

} // namespace
} // namespace ordan
