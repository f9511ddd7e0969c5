// The real meter-sim program on a pseudo-terminal, spoken to through QSerialPort the way the
// station speaks to a meter: the address byte in mark parity, the frame in space parity.
#include "link/frame.h"
#include "support/test_support.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QSerialPort>
#include <gtest/gtest.h>

#include <memory>

namespace ordan {
namespace {

using test::FromHex;
using test::Hex;

class MeterSimProgram : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (port.isOpen())
            port.close();
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            EXPECT_TRUE(sim.waitForFinished(5000));
            EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(sim.exitCode(), 0);
        }
    }

    // Starts the program and opens its device; false when either fails.
    bool Start(const QStringList &arguments)
    {
        sim.start(test::BinPath(QStringLiteral("meter-sim")), arguments);
        if (!sim.waitForStarted(5000))
            return false;
        const QDeadlineTimer deadline(5000);
        while (!sim.canReadLine() && !deadline.hasExpired())
            sim.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
        if (!device.startsWith(QStringLiteral("/dev/")))
            return false;
        port.setPortName(device);
        port.setBaudRate(4800);
        port.setDataBits(QSerialPort::Data8);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
        port.setParity(QSerialPort::MarkParity);
        return port.open(QIODevice::ReadWrite);
    }

    // Bytes that arrive within ms, stopping as soon as `count` have come.
    QByteArray Read(int count, int ms)
    {
        QByteArray got;
        const QDeadlineTimer deadline(ms);
        while (got.size() < count && !deadline.hasExpired()) {
            if (port.bytesAvailable() == 0)
                port.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            got += port.readAll();
        }
        return got;
    }

    QByteArray Exchange(quint8 address, const QByteArray &frame, int replyLength)
    {
        port.setParity(QSerialPort::MarkParity);
        port.write(QByteArray(1, static_cast<char>(address)));
        port.waitForBytesWritten(1000);
        const QByteArray echo = Read(1, 1000);
        if (echo != QByteArray(1, static_cast<char>(address)))
            return QByteArrayLiteral("no echo: ") + echo.toHex(' ');
        port.setParity(QSerialPort::SpaceParity);
        port.write(frame);
        port.waitForBytesWritten(1000);
        return Read(replyLength, 2000);
    }

    QProcess sim;
    QSerialPort port;
};

TEST_F(MeterSimProgram, EchoesAddressZeroAndAnswersTheVersionRequest)
{
    ASSERT_TRUE(Start({})) << port.errorString().toStdString();
    const QByteArray reply = Exchange(0x00, FromHex(QStringLiteral("00 02 80 71")), 6);
    EXPECT_EQ(Hex(reply), Hex(AppendCrc(FromHex(QStringLiteral("00 04 03 10")))));
    EXPECT_TRUE(CheckReplyCrc(reply));

    // The station may close and reopen its side between connections.
    port.close();
    ASSERT_TRUE(port.open(QIODevice::ReadWrite));
    EXPECT_EQ(Hex(Exchange(0x00, FromHex(QStringLiteral("01 02 81 E1")), 7)),
              Hex(AppendCrc(FromHex(QStringLiteral("01 05 39 30 01")))));
}

TEST_F(MeterSimProgram, FreshPutsAnUnnumberedMeterOnTheBench)
{
    ASSERT_TRUE(Start({QStringLiteral("--password"), QStringLiteral("7")}));
    sim.write("nonsense\nfresh\n");
    ASSERT_TRUE(sim.waitForBytesWritten(1000));
    const QByteArray unnumbered = AppendCrc(FromHex(QStringLiteral("01 05 00 00 00")));
    QByteArray reply;
    const QDeadlineTimer deadline(3000);
    while (reply != unnumbered && !deadline.hasExpired())
        reply = Exchange(0x00, FromHex(QStringLiteral("01 02 81 E1")), 7);
    EXPECT_EQ(Hex(reply), Hex(unnumbered));
    // The password stays the meter's.
    EXPECT_EQ(Hex(Exchange(0x00, AppendCrc(FromHex(QStringLiteral("14 04 07 00"))), 4)),
              Hex(AppendCrc(FromHex(QStringLiteral("14 02")))));
}

TEST_F(MeterSimProgram, OptionsChooseVersionAddressAndFaults)
{
    ASSERT_TRUE(Start({QStringLiteral("--address"), QStringLiteral("7"), QStringLiteral("--version"),
                       QStringLiteral("9.5"), QStringLiteral("--fault"), QStringLiteral("error=6"),
                       QStringLiteral("--fault-code"), QStringLiteral("0x01")}));
    // Address 0 is not this meter's: no echo within a generous wait.
    port.write(QByteArray(1, '\0'));
    port.waitForBytesWritten(1000);
    EXPECT_EQ(Hex(Read(1, 300)), QString());
    EXPECT_EQ(Hex(Exchange(7, FromHex(QStringLiteral("00 02 80 71")), 6)),
              Hex(AppendCrc(FromHex(QStringLiteral("00 04 05 09")))));
    EXPECT_EQ(Hex(Exchange(7, FromHex(QStringLiteral("01 02 81 E1")), 5)),
              Hex(AppendCrc(FromHex(QStringLiteral("81 03 06")))));
}

TEST_F(MeterSimProgram, PacedRepliesTakeTheirWireTime)
{
    ASSERT_TRUE(
        Start({QStringLiteral("--baud"), QStringLiteral("1200"), QStringLiteral("--turnaround"), QStringLiteral("0")}));
    QElapsedTimer timer;
    timer.start();
    // 1 address, 1 echo, 5 request and 24 reply characters of 9.17 ms: 284 ms at the least.
    const QByteArray reply = Exchange(0x00, FromHex(QStringLiteral("12 03 00 D1 35")), 24);
    const qint64 took = timer.elapsed();
    EXPECT_EQ(reply.size(), 24);
    EXPECT_TRUE(CheckReplyCrc(reply));
    EXPECT_GE(took, 283);
    EXPECT_LT(took, 1000);
}

TEST(MeterSimOptions, RefusesBadOptions)
{
    QProcess sim;
    sim.start(test::BinPath(QStringLiteral("meter-sim")), {QStringLiteral("--fault"), QStringLiteral("bogus")});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_NE(sim.exitCode(), 0);
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace ordan
