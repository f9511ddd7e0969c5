#include "app/command_line.h"
#include "core/bytes.h"
#include "meter/meter_panel.h"
#include "records/local_table_memory.h"
#include "schedule/schedule_model.h"
#include "station_fixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::StationRig;

TEST(PortNumbers, FromNames)
{
    const struct {
        const char *name;
        int number;
    } cases[] = {
        {"COM1", 1},      {"COM3", 3},      {"COM12", 12},    {"Com2", 2},       {"ttyS0", 1}, {"/dev/ttyS3", 4},
        {"ttyUSB0", 101}, {"ttyUSB2", 103}, {"ttyACM0", 201}, {"/dev/pts/4", 0}, {"COMX", 0},  {"LPT1", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PortNumberOf(QString::fromLatin1(c.name)), c.number) << c.name;
    for (PortNaming naming : {PortNaming::Windows, PortNaming::Posix})
        for (int n : {1, 4, 12, 101, 103, 201})
            EXPECT_EQ(PortNumberOf(DeviceForPortNumber(n, naming)), n) << n;
}

TEST(PortNumbers, DevicesOfNamesAndNumbers)
{
    const struct {
        const char *name;
        PortNaming naming;
        const char *device;
    } cases[] = {
        {"COM3", PortNaming::Windows, "COM3"},
        {"ttyS0", PortNaming::Posix, "/dev/ttyS0"},
        {"ttyUSB1", PortNaming::Posix, "/dev/ttyUSB1"},
        {"/dev/ttyACM0", PortNaming::Posix, "/dev/ttyACM0"},
        {"/dev/pts/4", PortNaming::Posix, "/dev/pts/4"},
        {"rfcomm0", PortNaming::Posix, "rfcomm0"}, // no number: opened as the system named it
    };
    for (const auto &c : cases)
        EXPECT_EQ(DeviceOfPortName(QString::fromLatin1(c.name), c.naming), QString::fromLatin1(c.device)) << c.name;
    EXPECT_EQ(DeviceForPortNumber(2, PortNaming::Windows), QStringLiteral("COM2"));
    EXPECT_EQ(DeviceForPortNumber(2, PortNaming::Posix), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(DeviceForPortNumber(102, PortNaming::Posix), QStringLiteral("/dev/ttyUSB1"));
    EXPECT_EQ(DeviceForPortNumber(203, PortNaming::Posix), QStringLiteral("/dev/ttyACM2"));
}

TEST(Ports, WindowsNamesAreOpenedAsListedAndProbedAsCom)
{
    StationRig rig;
    rig.ports.portNaming = PortNaming::Windows;
    rig.ports.names = {QStringLiteral("COM3")};
    Station &s = rig.start();
    ASSERT_EQ(s.panel().ports().size(), 1u);
    EXPECT_EQ(s.panel().ports()[0].device, QStringLiteral("COM3"));

    StationRig bare;
    bare.ports.portNaming = PortNaming::Windows;
    bare.ports.names.clear();
    bare.start();
    ASSERT_EQ(bare.ports.probed.size(), 8u);
    EXPECT_EQ(bare.ports.probed.front(), QStringLiteral("COM1"));
    EXPECT_EQ(bare.ports.probed.back(), QStringLiteral("COM8"));
}

TEST(Ports, ListWithTheRegistryPortSelectedAndMenuChoice)
{
    StationRig rig;
    rig.ports.names = {QStringLiteral("COM1"), QStringLiteral("COM3")};
    rig.settings.exists = true;
    rig.settings.values.insert(QStringLiteral("Port"), 3);
    Station &s = rig.start();
    ASSERT_EQ(s.panel().ports().size(), 2u);
    EXPECT_EQ(s.panel().ports()[1].name, QStringLiteral("COM3"));
    EXPECT_EQ(s.panel().ports()[1].number, 3);
    EXPECT_EQ(s.panel().ComboPort.value(), 1);
    EXPECT_EQ(s.panel().NPort.value(), 3);
    EXPECT_EQ(s.panel().portNumber(), 3);

    s.panel().PortMenuClick(1);
    EXPECT_EQ(s.panel().ComboPort.value(), 0);
    EXPECT_EQ(s.panel().NPort.value(), 1);
    s.panel().ComboPort.edit(1);
    EXPECT_EQ(s.panel().NPort.value(), 3);
    EXPECT_EQ(s.panel().portNumber(), 3);
    s.panel().PortMenuClick(7); // no such name: no selection
    EXPECT_EQ(s.panel().ComboPort.value(), -1);
}

TEST(Ports, ProbeWhenTheSystemListsNoPorts)
{
    StationRig rig;
    rig.ports.names.clear();
    rig.ports.present = {DeviceForPortNumber(2, PortNaming::Posix)};
    Station &s = rig.start();
    ASSERT_EQ(s.panel().ports().size(), 1u);
    EXPECT_EQ(s.panel().ports()[0].name, QStringLiteral("Com2"));
    EXPECT_EQ(rig.ports.probed.size(), 8u);
    EXPECT_EQ(s.panel().ComboPort.value(), -1) << "port 1 from the registry is not among them";
}

TEST(Ports, CommandLineDeviceIsAddedAndSelected)
{
    StationRig rig;
    Station &s = rig.start(QStringLiteral("/dev/pts/9"));
    ASSERT_EQ(s.panel().ports().size(), 2u);
    EXPECT_EQ(s.panel().ComboPort.value(), 1);
    s.ActionConnect.execute();
    EXPECT_EQ(rig.line.openPort, QStringLiteral("/dev/pts/9"));
}

TEST(Ports, NameWithoutNumberReportsTheConversionError)
{
    StationRig rig;
    rig.ports.names = {QStringLiteral("COM1"), QStringLiteral("COMX")};
    Station &s = rig.start();
    s.panel().ComboPort.edit(0);
    s.panel().ComboPort.edit(1);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_EQ(s.panel().portNumber(), 1);
    EXPECT_EQ(s.panel().NPort.value(), 1);
}

TEST(Connection, EnablingRulesAcrossConnectTimeOutsAndDisconnect)
{
    StationRig rig;
    Station &s = rig.start();
    EXPECT_TRUE(s.ActionConnect.isEnabled());
    EXPECT_FALSE(s.ActionDisconnect.isEnabled());
    EXPECT_FALSE(s.ActionSetting().isEnabled());
    EXPECT_FALSE(s.ActionFindAddress.isEnabled());

    s.ActionConnect.execute();
    EXPECT_FALSE(s.ActionConnect.isEnabled());
    EXPECT_TRUE(s.ActionDisconnect.isEnabled());
    EXPECT_FALSE(s.panel().ComboPort.isEnabled());
    EXPECT_FALSE(s.panel().ComboBaud.isEnabled());
    EXPECT_FALSE(s.panel().NPortMenu.isEnabled());
    EXPECT_FALSE(s.panel().NBaudMenu.isEnabled());
    rig.timers.advance(300);
    EXPECT_TRUE(s.ActionSetting().isEnabled()) << "every reply chunk enables writing";
    EXPECT_TRUE(s.ActionFixDb.isEnabled());

    rig.meter.address = 9; // the meter goes quiet
    rig.timers.advanceUntil([&] { return s.engine().timeoutCount() == 1; }, 3000);
    EXPECT_TRUE(s.ActionFindAddress.isEnabled());
    rig.timers.advanceUntil([&] { return s.engine().timeoutCount() == 6; }, 10000);
    EXPECT_FALSE(s.ActionSetting().isEnabled());
    EXPECT_FALSE(s.ActionFixDb.isEnabled());

    s.ActionDisconnect.execute();
    EXPECT_TRUE(s.ActionConnect.isEnabled());
    EXPECT_FALSE(s.ActionDisconnect.isEnabled());
    EXPECT_FALSE(s.ActionFindAddress.isEnabled());
    EXPECT_TRUE(s.panel().ComboPort.isEnabled());
    EXPECT_TRUE(s.panel().NBaudMenu.isEnabled());
    EXPECT_FALSE(s.ActionDisconnect.execute()) << "a disabled action does nothing";
}

TEST(Connection, OpenAndCloseFailuresShowTheirBoxes)
{
    StationRig rig;
    rig.line.failOpen = true;
    Station &s = rig.start();
    s.ActionConnect.execute();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, QStringLiteral("Ошибка открытия порта COM1\nno such port"))
        << "the fixed first line, then the line's reason";
    EXPECT_EQ(rig.op.boxes[0].caption, QStringLiteral("Ошибка"));
    EXPECT_TRUE(s.ActionConnect.isEnabled());

    rig.line.failOpen = false;
    s.ActionConnect.execute();
    rig.line.failClose = true;
    s.ActionDisconnect.execute();
    ASSERT_EQ(rig.op.boxes.size(), 2u);
    EXPECT_EQ(rig.op.boxes[1].text, QStringLiteral("Ошибка закрытия порта COM1"));
    EXPECT_TRUE(s.ActionDisconnect.isEnabled()) << "the window stays connected";
}

TEST(Connection, SpeedChoiceByComboAndMenu)
{
    StationRig rig;
    Station &s = rig.start();
    EXPECT_EQ(s.panel().baud(), 4800);
    s.panel().ComboBaud.edit(3);
    EXPECT_EQ(s.panel().baud(), 9600);
    s.panel().N12001Click(0);
    EXPECT_EQ(s.panel().ComboBaud.value(), 0);
    s.ActionConnect.execute();
    EXPECT_EQ(rig.line.baud, 1200);
}

TEST(Close, StoresThePortAndTheDdmNumbersOnlyWhenAsked)
{
    StationRig rig;
    rig.ports.names = {QStringLiteral("COM1"), QStringLiteral("COM4")};
    Station &s = rig.make();
    MeterParameters &p = s.meter().parameters();
    p.CheckDdmRead.set(false);
    s.FormCreate();
    s.ActionConnect.execute();
    s.panel().ComboPort.edit(1); // locked while connected in the window; the model still follows
    s.FormClose();
    EXPECT_FALSE(s.ActionDisconnect.isEnabled()) << "closing disconnects first";
    EXPECT_EQ(rig.settings.values.value(QStringLiteral("Port")).toInt(), 4);
    EXPECT_FALSE(rig.settings.values.contains(QStringLiteral("DDMA")));
    p.CheckDdmRead.set(true);
    p.SpinEditA.set(1);
    p.SpinEditB.set(2);
    p.SpinEditC.set(3);
    s.FormClose();
    EXPECT_EQ(rig.settings.values.value(QStringLiteral("DDMB")).toInt(), 2);
}

TEST(Start, ModesReachTheStationsControls)
{
    {
        StationRig rig;
        Station &s = rig.start();
        EXPECT_EQ(s.TabSheet4Caption.value(), QStringLiteral("Протокол"));
        EXPECT_TRUE(s.engine().log().CheckBox_Terminal.value());
        EXPECT_TRUE(s.TabScheduleVisible.value());
        EXPECT_TRUE(s.ActionOpen.isEnabled());
        EXPECT_FALSE(s.ActionSpoilage.isEnabled());
        EXPECT_FALSE(s.ActionSpoilage.isVisible());
        EXPECT_FALSE(s.ActionFixDb.isVisible());
    }
    {
        StationRig rig;
        QFile marker(rig.dir.filePath(QStringLiteral("SettingSql.velm")));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.close();
        Station &s = rig.start();
        EXPECT_EQ(s.modes().ModeFlags, 3);
        EXPECT_TRUE(s.modes().SqlMode);
        EXPECT_EQ(s.TabSheet4Caption.value(), QStringLiteral("Терминал"));
        EXPECT_FALSE(s.engine().log().CheckBox_Terminal.value());
        EXPECT_FALSE(s.TabScheduleVisible.value());
        EXPECT_FALSE(s.TabSheet5Visible.value());
        EXPECT_FALSE(s.ActionOpen.isEnabled());
        EXPECT_TRUE(s.ActionSpoilage.isEnabled());
        EXPECT_TRUE(s.ActionFixDb.isVisible());
    }
}

TEST(Link, ASilentMeterDisablesWritingAndInDatabaseModeSendsTheSearchBackToAddressZero)
{
    for (const bool sqlMode : {false, true}) {
        SCOPED_TRACE(sqlMode ? "database mode" : "normal mode");
        StationRig rig;
        if (sqlMode) {
            QFile marker(QDir(rig.dir.path()).filePath(kSqlMarkerFile));
            ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        }
        Station &s = rig.start();
        ASSERT_EQ(s.modes().SqlMode, sqlMode);
        s.panel().SpinAddr.set(9);
        rig.meter.address = 9;
        s.ActionConnect.execute();
        ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.ActionSetting().isEnabled(); }, 3000));
        rig.meter.address = 3; // the meter goes quiet
        ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.engine().timeoutCount() == 5; }, 10000));
        EXPECT_EQ(s.panel().SpinAddr.value(), 9);
        EXPECT_TRUE(s.ActionSetting().isEnabled());
        ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.engine().timeoutCount() == 6; }, 3000));
        EXPECT_EQ(s.panel().SpinAddr.value(), sqlMode ? 0 : 9);
        EXPECT_FALSE(s.ActionSetting().isEnabled());
        EXPECT_TRUE(s.meter().parameters().LabeledVersion.value().isEmpty()) << "the meter's fields are cleared";
    }
}

TEST(Link, TheEndOfTheWriteIndicatorResetsTheMeterFields)
{
    StationRig rig;
    Station &s = rig.start();
    s.ActionConnect.execute();
    ASSERT_TRUE(rig.timers.advanceUntil(
        [&] { return s.ActionSetting().isEnabled() && s.meter().parameters().identityRead; }, 3000));
    ASSERT_TRUE(s.ActionSetting().execute());
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.panel().Shape1.value() == Indicator::Green; }, 10000));
    // Polling goes on under the indicator and reads the meter again.
    rig.timers.advance(1900);
    ASSERT_FALSE(s.meter().parameters().LabeledVersion.value().isEmpty());
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.panel().Shape1.value() == Indicator::Hidden; }, 200));
    EXPECT_TRUE(s.meter().parameters().LabeledVersion.value().isEmpty()) << "as \"&Сброс изменений\" does";
}

TEST(Start, AFailedDefaultsStepEndsTheStart)
{
    // The tables outlive the stations that hold them.
    MemoryLocalTable unreadable, empty;
    unreadable.failure = QStringLiteral("Не удается открыть файл");
    StationRig rig;
    for (bool loaded : {false, true}) {
        rig.table = loaded ? &empty : &unreadable;
        Station &s = rig.make();
        TariffSchedule cleared = s.schedule().schedule();
        cleared.holidays.clear();
        s.schedule().setSchedule(cleared);
        s.FormCreate();
        // The unreadable table's failure is reported once; the empty table's defaults add nothing.
        EXPECT_EQ(rig.op.boxes.size(), 1u) << loaded;
        // The last step restores the default holidays; a failed defaults step never gets there.
        EXPECT_EQ(s.schedule().schedule().holidays.size(), loaded ? 12 : 0) << loaded;
    }
}

TEST(Errors, GeneralReportAppendsAFullStop)
{
    StationRig rig;
    Station &s = rig.start();
    s.ReportError(QStringLiteral("Нет связи с сервером"));
    s.ReportError(QStringLiteral("Готово."));
    s.ReportError(QStringLiteral("Код 5!"));
    ASSERT_EQ(rig.op.boxes.size(), 3u);
    EXPECT_EQ(rig.op.boxes[0].text, QStringLiteral("Нет связи с сервером."));
    EXPECT_EQ(rig.op.boxes[1].text, QStringLiteral("Готово."));
    EXPECT_EQ(rig.op.boxes[2].text, QStringLiteral("Код 5!")) << "'!' sorts before '.'";
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
}

TEST(CommandLine, Options)
{
    const auto ok =
        ParseCommandLine({QStringLiteral("ordan-klv"), QStringLiteral("--port"), QStringLiteral("/dev/pts/3"),
                          QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--address"),
                          QStringLiteral("7"), QStringLiteral("--connect"), QStringLiteral("--line-mode")});
    EXPECT_TRUE(ok.error.isEmpty());
    EXPECT_TRUE(ok.lineMode);
    EXPECT_EQ(ok.port, QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(ok.baud, 9600);
    EXPECT_EQ(ok.address, 7);
    EXPECT_TRUE(ok.connect);
    EXPECT_EQ(ParseCommandLine({QStringLiteral("x"), QStringLiteral("--baud"), QStringLiteral("1200")}).baud, 1200);
    // The table's path is optional: an option after it is no path.
    const auto create =
        ParseCommandLine({QStringLiteral("x"), QStringLiteral("--create-setting-table"), QStringLiteral("--connect")});
    EXPECT_TRUE(create.error.isEmpty());
    EXPECT_EQ(create.createSettingTable, QString());
    EXPECT_TRUE(create.connect);
    for (const QStringList &bad : {QStringList{QStringLiteral("x"), QStringLiteral("--baud"), QStringLiteral("300")},
                                   QStringList{QStringLiteral("x"), QStringLiteral("--address"), QStringLiteral("256")},
                                   QStringList{QStringLiteral("x"), QStringLiteral("--port")},
                                   QStringList{QStringLiteral("x"), QStringLiteral("--bogus")}})
        EXPECT_FALSE(ParseCommandLine(bad).error.isEmpty()) << bad.join(QLatin1Char(' ')).toStdString();
}

} // namespace
} // namespace ordan

namespace ordan {
namespace {

TEST(Start, DdmNumbersFromTheRegistry)
{
    test::StationRig rig;
    rig.settings.exists = true;
    rig.settings.values = {{QStringLiteral("DDMA"), 11}, {QStringLiteral("DDMB"), 22}, {QStringLiteral("DDMC"), 33}};
    Station &s = rig.start();
    EXPECT_EQ(s.meter().parameters().SpinEditA.value(), 11);
    EXPECT_EQ(s.meter().parameters().SpinEditC.value(), 33);
}

} // namespace
} // namespace ordan
