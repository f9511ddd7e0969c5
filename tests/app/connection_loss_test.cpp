// The station around its link on a bench: a port that goes away, a port that will not open or
// will not take stick parity, and a device chosen by its path remembered for the next start.
#include "app/startup_settings.h"
#include "link/port_list.h"
#include "link/serial_link.h"
#include "meter/meter_panel.h"
#include "station_fixture.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::StationRig;

int LinesEqualTo(const ExchangeLog &log, const QString &text)
{
    int n = 0;
    for (const QString &line : log.lines())
        n += line == text;
    return n;
}

TEST(LostPort, StationDisconnectsItselfAndConnectsAgainWhenTheDeviceIsBack)
{
    for (const bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "writing" : "polling");
        StationRig rig;
        Station &s = rig.start(QStringLiteral("/dev/serial/by-id/usb-FTDI_RS485-if00-port0"));
        int records = 0;
        QObject::connect(&s, &Station::programmingFinished, [&] { ++records; });
        std::vector<bool> connections;
        QObject::connect(&s, &Station::connectionChanged, [&](bool connected) { connections.push_back(connected); });
        s.ActionConnect.execute();
        ASSERT_TRUE(rig.timers.advanceUntil(
            [&] { return s.ActionSetting().isEnabled() && s.meter().parameters().identityRead; }, 5000));
        if (writing) {
            s.ActionSetting().execute();
            ASSERT_TRUE(s.engine().writePending(WriteKind::Settings));
            ASSERT_TRUE(rig.timers.advanceUntil([&] { return ByteAt(s.engine().request(), 0) == 0x05; }, 5000));
        }

        rig.line.failOpen = true; // unplugged
        rig.line.reportError(LineError::Lost, QStringLiteral("Input/output error"));

        const QString lost = QStringLiteral("Связь потеряна: /dev/serial/by-id/usb-FTDI_RS485-if00-port0");
        EXPECT_EQ(s.panel().StatusPanel1.value(), lost);
        EXPECT_EQ(LinesEqualTo(s.engine().log(), lost), 1);
        EXPECT_EQ(
            LinesEqualTo(s.engine().log(), QStringLiteral("Ошибка порта /dev/serial/by-id/usb-FTDI_RS485-if00-port0: "
                                                          "Input/output error")),
            1)
            << "the system's reason is logged too";
        EXPECT_TRUE(s.ActionConnect.isEnabled());
        EXPECT_FALSE(s.ActionDisconnect.isEnabled());
        EXPECT_TRUE(s.panel().ComboPort.isEnabled());
        EXPECT_TRUE(s.panel().NBaudMenu.isEnabled());
        EXPECT_FALSE(s.ActionSetting().isEnabled());
        EXPECT_FALSE(s.ActionFindAddress.isEnabled());
        EXPECT_EQ(connections, (std::vector<bool>{true, false}));
        EXPECT_FALSE(rig.line.isOpen());
        EXPECT_EQ(records, 0);
        if (writing) {
            EXPECT_EQ(s.panel().Shape1.value(), Indicator::Red);
            ASSERT_EQ(rig.op.boxes.size(), 1u);
            EXPECT_EQ(rig.op.boxes[0].text, Engine::WriteErrorText());
            rig.op.closeBox();
        } else {
            EXPECT_TRUE(rig.op.boxes.empty());
        }

        // Idle: nothing goes out and nothing more is logged, however long it stays so.
        const size_t writes = rig.line.writes.size();
        const qsizetype lines = s.engine().log().lineCount();
        rig.timers.advance(10000);
        EXPECT_EQ(rig.line.writes.size(), writes);
        EXPECT_EQ(s.engine().log().lineCount(), lines);
        EXPECT_EQ(records, 0);

        // Still unplugged: the open failure; plugged in again: connected, starting afresh.
        s.ActionConnect.execute();
        EXPECT_TRUE(s.ActionConnect.isEnabled());
        rig.line.failOpen = false;
        s.ActionConnect.execute();
        EXPECT_FALSE(s.ActionConnect.isEnabled());
        EXPECT_TRUE(s.panel().StatusPanel1.value().isEmpty());
        ASSERT_TRUE(rig.timers.advanceUntil(
            [&] { return rig.line.requests().size() > 0 && rig.line.writes.size() >= writes + 2; }, 5000));
        EXPECT_EQ(test::Hex(rig.line.writes[writes + 1].bytes), QStringLiteral("00 02 80 71"));
        EXPECT_EQ(records, 0);
    }
}

// A driver that drops mark or space parity would leave the meter unaddressed: the station stays
// disconnected and says which port and what to do, in the box and in the exchange log.
TEST(OpenFailure, APortThatRefusesStickParityIsNotConnected)
{
    for (const Parity refused : {Parity::Mark, Parity::Space}) {
        StationRig rig;
        Station &s = rig.start(QStringLiteral("/dev/ttyUSB0"));
        s.engine().log().CheckBox_Terminal.set(true);
        rig.line.refusedParity = refused;
        s.ActionConnect.execute();
        ASSERT_EQ(rig.op.boxes.size(), 1u);
        const QString explained =
            StickParityRefusedText(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("parity not supported"));
        EXPECT_EQ(rig.op.boxes[0].text,
                  QStringLiteral("Ошибка открытия порта ") + s.panel().comboPortText() + QLatin1Char('\n') + explained);
        EXPECT_EQ(LinesEqualTo(s.engine().log(), explained), 1);
        EXPECT_TRUE(s.ActionConnect.isEnabled());
        EXPECT_FALSE(s.engine().isConnected());
        EXPECT_FALSE(rig.line.isOpen());
    }
}

TEST(OpenFailure, TextKeepsTheFirstLineAndAddsTheReasonAndTheGroup)
{
    const struct {
        const char *reason;
        const char *group;
        const char *text;
    } cases[] = {
        {"", "", "Ошибка открытия порта COM3"},
        {"No such file or directory", "", "Ошибка открытия порта COM3\nNo such file or directory"},
        {"Permission denied", "dialout",
         "Ошибка открытия порта COM3\nPermission denied\nНет прав на устройство: пользователь должен входить "
         "в группу "
         "«dialout», которой оно принадлежит (sudo usermod -aG dialout ИМЯ и новый вход в систему)."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OpenFailureText(QStringLiteral("COM3"), QString::fromUtf8(c.reason), QString::fromUtf8(c.group)),
                  QString::fromUtf8(c.text));
}

TEST(PortDevice, ADeviceChosenByPathIsRememberedAndChosenAgainWhileItExists)
{
    const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_RS485-if00-port0");
    StationRig first;
    first.settings.exists = true;
    first.settings.values.insert(QStringLiteral("Port"), 3);
    first.ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyS2")};
    Station &a = first.start(byId);
    a.FormClose();
    EXPECT_EQ(first.settings.values.value(QStringLiteral("PortDevice")).toString(), byId);
    EXPECT_EQ(first.settings.values.value(QStringLiteral("Port")).toInt(), 3)
        << "the number stays that of the numbered port";

    const struct {
        const char *name;
        bool present;
        int selectedNumber;
        QString device;
    } cases[] = {
        {"device there", true, kPathPortNumber, byId},
        {"device gone", false, 3, QStringLiteral("/dev/ttyS2")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StationRig next;
        next.settings = first.settings;
        next.ports.names = first.ports.names;
        if (c.present)
            next.ports.devices = {byId};
        Station &b = next.start();
        ASSERT_GE(b.panel().ComboPort.value(), 0);
        EXPECT_EQ(b.panel().ports()[static_cast<size_t>(b.panel().ComboPort.value())].device, c.device);
        EXPECT_EQ(b.panel().NPort.value(), c.selectedNumber);
        b.ActionConnect.execute();
        EXPECT_EQ(next.line.openPort, c.device);
    }

    // Choosing a numbered port again forgets the device.
    StationRig again;
    again.settings = first.settings;
    again.ports.names = first.ports.names;
    again.ports.devices = {byId};
    Station &c = again.start();
    c.panel().ComboPort.edit(0);
    c.FormClose();
    EXPECT_EQ(again.settings.values.value(QStringLiteral("Port")).toInt(), 1);
    EXPECT_TRUE(again.settings.values.value(QStringLiteral("PortDevice")).toString().isEmpty());
}

TEST(PortDevice, ReadAtStartAndWrittenOnlyWhenThereIsOne)
{
    test::MemorySettings store;
    store.exists = true;
    WriteCloseSettings(store, 4, std::nullopt);
    EXPECT_FALSE(store.values.contains(QStringLiteral("PortDevice"))) << "no value for a numbered port alone";
    WriteCloseSettings(store, 0, std::nullopt, QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(store.values.value(QStringLiteral("Port")).toInt(), 4);
    EXPECT_EQ(ReadStartupSettings(store, false).portDevice, QStringLiteral("/dev/pts/7"));
    WriteCloseSettings(store, 2, std::nullopt);
    EXPECT_TRUE(ReadStartupSettings(store, false).portDevice.isEmpty());
    EXPECT_EQ(ReadStartupSettings(store, false).portNumber, 2);
}

} // namespace
} // namespace ordan
