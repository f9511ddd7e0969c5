// The real serial path: SerialPortLine and the engine on Qt's timers, against the meter-sim
// program on a pseudo-terminal.
#include "../app/station_fixture.h"
#include "app/station.h"
#include "core/bytes.h"
#include "core/qt_timers.h"
#include "link/engine.h"
#include "link/quiet_host.h"
#include "link/serial_port_line.h"
#include "support/meter_sim_process.h"
#include "support/test_support.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

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
    ConnectionPanel linkPanel{timers};
    Engine engine(line, timers, op, host, linkPanel, [] { return QDateTime::currentDateTime(); });
    engine.setDecoder(FunctionCode::ReadFirmwareVersion,
                      [&](const QByteArray &r) { engine.setMeterVersion(BcdDecode(ByteAt(r, 3))); });
    engine.log().setEngineering(true);
    engine.log().CheckBox_Terminal.set(true);

    const Status opened = engine.connectLine(sim.device(), 9600);
    ASSERT_TRUE(opened) << opened.error().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 14; }, 10000))
        << engine.panel().StatusPanel1.value().toStdString();
    // RTS and DSR refused by the pseudo-terminal, its missing parity bit: no port error.
    EXPECT_TRUE(engine.panel().StatusPanel1.value().isEmpty()) << engine.panel().StatusPanel1.value().toStdString();
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
    EXPECT_EQ(engine.timeoutCount(), 0);

    ASSERT_TRUE(engine.disconnectLine());
    const qint32 sent = engine.sendCount();
    QTest::qWait(300);
    EXPECT_EQ(engine.sendCount(), sent);

    ASSERT_TRUE(engine.connectLine(sim.device(), 9600));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 1; }, 5000));
    const auto again = SentRequests(engine.log());
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again.front(), QStringLiteral("00 02 80 71"));
    EXPECT_TRUE(engine.disconnectLine());
}

// A terminal hung up under the engine (as a pulled USB adapter is) reads as end of file, which
// Qt passes over; the line still reports it as lost and the engine disconnects.
TEST(SerialPath, HungUpTerminalIsALostLine)
{
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    QtTimers timers;
    SerialPortLine line;
    test::FakeOperator op;
    test::QuietHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine(line, timers, op, host, linkPanel, [] { return QDateTime::currentDateTime(); });
    engine.panel().SpinTimer.set(200);
    QStringList lost;
    QObject::connect(&engine, &Engine::lineLost, &engine, [&](const QString &reason) { lost << reason; });
    const Status opened = engine.connectLine(QString::fromLocal8Bit(name), 9600);
    ASSERT_TRUE(opened) << opened.error().toStdString();
    // Both parities were read back at connect: the kernel keeps the stick-parity settings of a
    // pseudo-terminal (not PARENB, it has no parity bit), and the line is left in mark.
    ::tcgetattr(slave, &tio);
    EXPECT_EQ(tio.c_cflag & (CMSPAR | PARODD), tcflag_t(CMSPAR | PARODD));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() == 0 && engine.awaitingReply(); }, 3000));
    if (::ioctl(slave, TIOCVHANGUP) != 0) {
        ::close(master);
        ::close(slave);
        GTEST_SKIP() << "hanging up a terminal needs CAP_SYS_ADMIN";
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !lost.isEmpty(); }, 5000));
    EXPECT_FALSE(engine.isConnected());
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(engine.sendTimerEnabled());
    EXPECT_FALSE(engine.awaitingReply());
    ::close(master);
    ::close(slave);
}

TEST(SerialPath, MissingDeviceGivesTheOpenFailureMessage)
{
    test::StationRig rig;
    SerialPortLine line;
    QtTimers timers;
    Station station(
        Station::Platform{line, timers, rig.op, rig.facts, rig.settings, rig.ports, rig.exportFiles, rig.dir.path()});
    station.FormCreate(QStringLiteral("/dev/ordan-no-such-port"));
    station.ActionConnect.execute();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    const QStringList lines = rig.op.boxes[0].text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << rig.op.boxes[0].text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Ошибка открытия порта /dev/ordan-no-such-port"));
    EXPECT_EQ(lines[1], QString::fromLocal8Bit(std::strerror(ENOENT)));
    EXPECT_TRUE(station.ActionConnect.isEnabled());
}

// A device the user may not open: the system's reason and the group that owns the device.
// A file without permissions stops an ordinary user; root passes those, but not the write
// check of a read-only kernel attribute.
TEST(SerialPath, RefusedDeviceNamesTheReasonAndTheOwningGroup)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("ttyLOCKED"));
    {
        QFile f(locked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    QString device;
    for (const QString &candidate : {locked, QStringLiteral("/sys/devices/system/cpu/online")}) {
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno == EACCES) {
            device = candidate;
            break;
        }
    }
    if (device.isEmpty())
        GTEST_SKIP() << "no device this user is refused";

    test::StationRig rig;
    SerialPortLine line;
    QtTimers timers;
    Station station(
        Station::Platform{line, timers, rig.op, rig.facts, rig.settings, rig.ports, rig.exportFiles, rig.dir.path()});
    station.FormCreate(device);
    station.ActionConnect.execute();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    const QStringList lines = rig.op.boxes[0].text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << rig.op.boxes[0].text.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Ошибка открытия порта ") + device);
    EXPECT_EQ(lines[1], QString::fromLocal8Bit(std::strerror(EACCES)));
    const QString group = QFileInfo(device).group();
    ASSERT_FALSE(group.isEmpty());
    EXPECT_TRUE(lines[2].contains(QStringLiteral("«") + group + QStringLiteral("»"))) << lines[2].toStdString();
    EXPECT_TRUE(station.ActionConnect.isEnabled());
}

} // namespace
} // namespace ordan
