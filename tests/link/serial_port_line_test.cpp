// The real serial path: SerialPortLine and the engine on Qt's timers, against the meter-sim
// program on a pseudo-terminal.
#include "app/station.h"
#include "core/bytes.h"
#include "core/qt_timers.h"
#include "link/engine.h"
#include "link/quiet_host.h"
#include "link/serial_port_line.h"
#include "support/meter_sim_process.h"
#include "support/test_support.h"
#include "../app/station_fixture.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace ordan {
namespace {

std::vector<QString> SentRequests(const ExchangeLog &log)
{
    std::vector<QString> out;
    for (const QString &line : log.lines()) {
        const qsizetype at = line.indexOf(QStringLiteral(" Send "));
        if (at > 0 && line.size() > at + 9) // a frame, not the single address byte
            out.push_back(line.mid(at + 6).trimmed());
    }
    return out;
}

TEST(SerialPath, PollsTheSimulatedMeterOnAPseudoTerminal)
{
    test::MeterSimProcess sim({QStringLiteral("--baud"), QStringLiteral("9600")});
    ASSERT_FALSE(sim.device().isEmpty());
    QtTimers timers;
    SerialPortLine line;
    test::FakeOperator op;
    test::QuietHost host;
    Engine engine(line, timers, op, host, [] { return QDateTime::currentDateTime(); });
    engine.setDecoder(0x00, [&](const QByteArray &r) { engine.MeterVersion = BcdDecode(ByteAt(r, 3)); });
    engine.log().setEngineering(true);
    engine.log().CheckBox_Terminal.set(true);

    ASSERT_TRUE(engine.connectLine(sim.device(), 9600)) << line.errorText().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 14; }, 10000));
    const auto &lines = engine.log().lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" Send 00"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" Received: 00 "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" Send 00 02 80 71 "))) << lines[2].toStdString();
    const auto requests = SentRequests(engine.log());
    std::vector<int> codes;
    for (const QString &r : requests)
        codes.push_back(r.left(2).toInt(nullptr, 16));
    codes.resize(13);
    EXPECT_EQ(codes, (std::vector<int>{0x00, 0x00, 0x01, 0x04, 0x0D, 0x0F, 0x0A, 0x11, 0x0C, 0x06, 0x22, 0x2A, 0x00}));
    EXPECT_EQ(engine.TimeoutCount, 0);

    ASSERT_TRUE(engine.disconnectLine());
    const qint32 sent = engine.sendCount();
    QTest::qWait(300);
    EXPECT_EQ(engine.sendCount(), sent);

    ASSERT_TRUE(engine.connectLine(sim.device(), 9600));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 1; }, 5000));
    const auto again = SentRequests(engine.log());
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.front(), QStringLiteral("00 02 80 71"));
    engine.disconnectLine();
}

TEST(SerialPath, MissingDeviceGivesTheOpenFailureMessage)
{
    test::StationRig rig;
    SerialPortLine line;
    QtTimers timers;
    Station station(Station::Platform{line, timers, rig.op, rig.facts, rig.settings, rig.ports, rig.exportFiles, rig.dir.path()});
    station.FormCreate(QStringLiteral("/dev/ordan-no-such-port"));
    station.ActionConnect.execute();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, QStringLiteral("Ошибка открытия порта /dev/ordan-no-such-port"));
    EXPECT_TRUE(station.ActionConnect.isEnabled());
}

} // namespace
} // namespace ordan
