#include "core/bytes.h"
#include "link/frame.h"
#include "meter/meter_clock.h"
#include "meter/parameter_decoders.h"
#include "meter/readings.h"
#include "meter/status_text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace ordan {
namespace {

Modes SqlModes()
{
    Modes m;
    m.SqlMode = true;
    m.ModeFlags = 3;
    return m;
}

struct MeterDecodersTest : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    Modes modes;
    MeterParameters p{modes};
    int meterVersion = 0;
    const std::function<void(int)> setVersion = [this](int v) { meterVersion = v; };
    std::vector<int> lookups;
    LastClockSetLookup lookup = [this](int n) {
        lookups.push_back(n);
        return QDateTime(QDate(2026, 1, 1), QTime(8, 0));
    };
};

TEST_F(MeterDecodersTest, SerialNumberTakesSeventeenBitsAndLocksTheField)
{
    for (int third : {0x01, 0xFF}) {
        p.ClearMeterData();
        ASSERT_TRUE(DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, third})), p, lookup));
        EXPECT_EQ(p.SpinEdit_Number.value(), 77881) << third;
        EXPECT_FALSE(p.SpinEdit_Number.isEnabled());
        EXPECT_FALSE(p.BitBtn1.isEnabled());
        EXPECT_EQ(p.SpinEdit_Number.mark(), 0);
    }
}

TEST_F(MeterDecodersTest, SerialNumberZeroLeavesTheFieldOpen)
{
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, lookup);
    ASSERT_FALSE(p.SpinEdit_Number.isEnabled());
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x00, 0x00, 0x00})), p, lookup);
    EXPECT_EQ(p.SpinEdit_Number.value(), 0);
    EXPECT_TRUE(p.SpinEdit_Number.isEnabled());
    EXPECT_TRUE(p.BitBtn1.isEnabled());
}

TEST_F(MeterDecodersTest, MarkedSerialNumberIsLeftAlone)
{
    p.SpinEdit_Number.edit(500);
    ASSERT_EQ(p.SpinEdit_Number.mark(), 1);
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, lookup);
    EXPECT_EQ(p.SpinEdit_Number.value(), 500);
    EXPECT_TRUE(p.SpinEdit_Number.isEnabled());
    EXPECT_TRUE(lookups.empty());
}

TEST(MeterSerialNumberAddress, DatabaseModeGivesTheNewAddressFromTheNumber)
{
    struct Case {
        bool sql;
        bool checkAddr;
        int expectedAddress;
    };
    for (const Case c : {Case{true, true, 45}, Case{true, false, 1}, Case{false, true, 1}}) {
        Modes modes;
        modes.SqlMode = c.sql;
        MeterParameters p(modes);
        p.CheckAddr.set(c.checkAddr);
        p.ClearMeterData();
        DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, {});
        EXPECT_EQ(p.SpinEdit_Number.value(), 12345);
        EXPECT_EQ(p.SpinNewAddr.value(), c.expectedAddress) << c.sql << c.checkAddr;
    }
}

TEST(MeterSerialNumberAddress, LookupOfTheLastClockSettingOnlyForANewNumberInDatabaseMode)
{
    MeterParameters p(SqlModes());
    std::vector<int> asked;
    const QDateTime set(QDate(2026, 11, 28), QTime(10, 0));
    // The answer comes later in the station; here at once.
    LastClockSetLookup lookup = [&](int n) {
        asked.push_back(n);
        p.LastClockSet = set;
    };
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, lookup);
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, lookup);
    EXPECT_EQ(asked, std::vector<int>{12345});
    EXPECT_EQ(p.LastClockSet, set);
    p.ClearMeterData();
    EXPECT_FALSE(p.LastClockSet.isValid());
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x39, 0x30, 0x00})), p, lookup);
    EXPECT_EQ(asked, (std::vector<int>{12345, 12345}));

    MeterParameters local{Modes{}};
    DecodeSerialNumber(MakeFrame(0x01, Bytes({0x01, 0x00, 0x00})), local, lookup);
    EXPECT_EQ(asked.size(), 2u);
}

TEST(MeterSerialNumberAddress, EditOfTheNumberInDatabaseModeSetsTheAddressToo)
{
    MeterParameters p(SqlModes());
    p.SpinEdit_Number.edit(1234);
    EXPECT_EQ(p.SpinEdit_Number.mark(), 1);
    EXPECT_EQ(p.SpinNewAddr.value(), 34);
    p.SpinEdit_Number.setEnabled(false);
    p.SpinEdit_Number.edit(1299);
    EXPECT_EQ(p.SpinNewAddr.value(), 34);
}

TEST_F(MeterDecodersTest, VersionShowsMajorDotMinorAndSwitchesTheExtendedControls)
{
    QSignalSpy spy(&p, &MeterParameters::extendedVersionChanged);
    ASSERT_TRUE(DecodeFirmwareVersion(MakeFrame(0x00, Bytes({0x05, 0x09})), p, setVersion));
    EXPECT_EQ(p.LabeledVersion.value(), QStringLiteral("9.5"));
    EXPECT_EQ(meterVersion, 9);
    for (TextField *label : p.ddmLabels())
        EXPECT_FALSE(label->isVisible());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.at(0).at(0).toBool());

    DecodeFirmwareVersion(MakeFrame(0x00, Bytes({0x05, 0x10})), p, setVersion);
    EXPECT_EQ(p.LabeledVersion.value(), QStringLiteral("10.5"));
    EXPECT_EQ(meterVersion, 10);
    for (TextField *label : p.ddmLabels())
        EXPECT_TRUE(label->isVisible());
    ASSERT_EQ(spy.count(), 2);
    EXPECT_TRUE(spy.at(1).at(0).toBool());
}

TEST_F(MeterDecodersTest, VersionBcdDigitsAreNotChecked)
{
    DecodeFirmwareVersion(MakeFrame(0x00, Bytes({0x1A, 0xFF})), p, setVersion);
    EXPECT_EQ(p.LabeledVersion.value(), QStringLiteral("165.20"));
    EXPECT_EQ(meterVersion, 165);
}

TEST_F(MeterDecodersTest, OperatingTimeInHoursAndMinutes)
{
    struct Case {
        QByteArray bytes;
        const char *text;
        const char *raw;
    };
    const Case cases[] = {
        {Bytes({0x7D, 0x00, 0x00, 0x04}), "1:2", "125"},
        {Bytes({0x00, 0x00, 0x00, 0x00}), "0:0", "0"},
        {Bytes({0x20, 0x1C, 0x00, 0xFF}), "60:0", "7200"},
        {Bytes({0xFF, 0xFF, 0xFF, 0x07}), "139810:7", "16777215"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(DecodeOperatingTime(MakeFrame(0x11, c.bytes), p));
        EXPECT_EQ(p.LabeledOff.value(), QLatin1String(c.text));
        EXPECT_EQ(p.EditOff.value(), QLatin1String(c.raw));
        EXPECT_EQ(p.LabeledNCorrect.value(), QString::number(ByteAt(c.bytes, 3)));
    }
    EXPECT_FALSE(p.EditOff.isVisible());
}

TEST_F(MeterDecodersTest, BillingDayAndHourAreLimitedToTheirRanges)
{
    p.CheckReadTarif.set(false);
    p.SpinDay.set(5);
    ASSERT_TRUE(DecodeBillingDay(MakeFrame(0x22, Bytes({0x25, 0x00})), p));
    EXPECT_EQ(p.SpinDay.value(), 1);
    EXPECT_EQ(p.SpinHour.value(), 23);
    DecodeBillingDay(MakeFrame(0x22, Bytes({0x07, 0x25})), p);
    EXPECT_EQ(p.SpinDay.value(), 25);
    EXPECT_EQ(p.SpinHour.value(), 7);
}

TEST_F(MeterDecodersTest, BillingDaySwitchAndMarks)
{
    DecodeBillingDay(MakeFrame(0x22, Bytes({0x07, 0x25})), p);
    EXPECT_EQ(p.SpinDay.value(), 1) << "\"Не считывать\" is ticked at start";
    p.CheckReadTarif.set(false);
    p.SpinDay.edit(10);
    DecodeBillingDay(MakeFrame(0x22, Bytes({0x07, 0x25})), p);
    EXPECT_EQ(p.SpinDay.value(), 10);
    EXPECT_EQ(p.SpinHour.value(), 7);
    EXPECT_EQ(p.SpinDay.mark(), 1);
}

TEST_F(MeterDecodersTest, IndicationMarkOnOneBoxBlocksAllFourUntilCleared)
{
    DecodeIndication(MakeFrame(0x0D, Bytes({0x0F})), p);
    EXPECT_FALSE(p.CheckBox1.value()) << "\"Не считывать\" is ticked at start";
    p.CheckNoIndi.set(false);
    p.CheckBox2.edit(true);
    DecodeIndication(MakeFrame(0x0D, Bytes({0x0D})), p);
    EXPECT_FALSE(p.CheckBox1.value());
    EXPECT_TRUE(p.CheckBox2.value());
    EXPECT_FALSE(p.CheckBox3.value());
    EXPECT_FALSE(p.CheckBox4.value());

    p.ClearMeterData();
    DecodeIndication(MakeFrame(0x0D, Bytes({0xFD})), p);
    EXPECT_TRUE(p.CheckBox1.value());
    EXPECT_FALSE(p.CheckBox2.value());
    EXPECT_TRUE(p.CheckBox3.value());
    EXPECT_TRUE(p.CheckBox4.value());
    EXPECT_EQ(p.indicationMask(), 0x0D);
}

TEST_F(MeterDecodersTest, DdmNumbersPerPhaseUnlessMarked)
{
    const QByteArray reply = MakeFrame(0x0A, Bytes({0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x70, 0x11, 0x01}));
    p.SpinEditA.set(7);
    DecodeDdmNumbers(reply, p);
    EXPECT_EQ(p.SpinEditA.value(), 7) << "\"Не считывать\" is ticked at start";
    p.CheckDdmRead.set(false);
    p.SpinEditB.edit(99);
    DecodeDdmNumbers(reply, p);
    EXPECT_EQ(p.SpinEditA.value(), 1);
    EXPECT_EQ(p.SpinEditB.value(), 99);
    EXPECT_EQ(p.SpinEditC.value(), 70000);
}

TEST_F(MeterDecodersTest, DdmTimeStampsInTheLocaleFormat)
{
    p.CheckDdmRead.set(false);
    p.SpinEditA.set(1);
    p.SpinEditB.set(0);
    p.SpinEditC.set(3);
    p.LabelB.set(QStringLiteral("old"));
    const QByteArray reply = MakeFrame(
        0x2A, Bytes({0xEE, 0x90, 0x5F, 0x01, 0x00, 0xEE, 0x90, 0x5F, 0x01, 0x00, 0xEE, 0x00, 0x00, 0x00, 0x00}));
    ASSERT_TRUE(DecodeDdmTimes(reply, p));
    EXPECT_EQ(p.LabelA.value(), QStringLiteral("02.01.2000 01:00:00"));
    EXPECT_EQ(p.LabelB.value(), QString()) << "the phase's spin edit shows 0";
    EXPECT_EQ(p.LabelC.value(), QString()) << "stamp 0";

    p.CheckDdmRead.set(true);
    DecodeDdmTimes(MakeFrame(0x2A, QByteArray(15, '\0')), p);
    EXPECT_EQ(p.LabelA.value(), QStringLiteral("02.01.2000 01:00:00")) << "labels keep what they show";
}

TEST(MeterDdmTime, LargestStampAndCLocale)
{
    test::LocaleScope c(QLocale::c());
    EXPECT_EQ(DdmTimeText(90000), QStringLiteral("2 Jan 2000 01:00:00"));
    EXPECT_EQ(DdmTimeText(0xFFFFFFFFu), QStringLiteral("7 Feb 2136 06:28:15"));
}

TEST_F(MeterDecodersTest, DdmActionsOnlyInDatabaseMode)
{
    p.SpinEditA.set(1);
    p.ActionMinusDDM.execute();
    EXPECT_EQ(p.SpinEditA.value(), 1);

    MeterParameters sql(SqlModes());
    sql.SpinEditA.set(1);
    sql.SpinEditB.set(100);
    sql.SpinEditC.set(2147483646);
    EXPECT_TRUE(sql.ActionMinusDDM.execute());
    EXPECT_EQ(sql.SpinEditA.value(), -2);
    EXPECT_EQ(sql.SpinEditB.value(), 97);
    EXPECT_EQ(sql.SpinEditA.mark(), 1) << "an operator's change: polling must not undo it";
    sql.ActionPlusDDM.execute();
    sql.ActionPlusDDM.execute();
    EXPECT_EQ(sql.SpinEditA.value(), 4);
    EXPECT_EQ(sql.SpinEditC.value(), 2147483647);
    EXPECT_EQ(sql.ActionPlusDDM.shortcut(), QStringLiteral("Ctrl+A"));
    EXPECT_EQ(sql.ActionMinusDDM.shortcut(), QStringLiteral("Ctrl+D"));
}

TEST(MeterStartState, ControlsFollowTheModes)
{
    MeterParameters local{Modes{}};
    EXPECT_TRUE(local.CheckReadTarif.value());
    EXPECT_TRUE(local.CheckNoIndi.value());
    EXPECT_TRUE(local.CheckDdmRead.value());
    EXPECT_TRUE(local.CheckTime.value());
    EXPECT_FALSE(local.CheckAddr.value());
    EXPECT_FALSE(local.LabeledDelta.isVisible());
    EXPECT_FALSE(local.CheckResetTariff.isVisible());
    EXPECT_FALSE(local.BitBtn1.isVisible());
    EXPECT_FALSE(local.CheckSummer.isEnabled());
    EXPECT_FALSE(local.ActionSetting.isEnabled());
    EXPECT_TRUE(local.RadioTStatus.value());
    EXPECT_EQ(local.SpinNewAddr.value(), 1);
    EXPECT_EQ(local.SpinDay.value(), 1);
    EXPECT_EQ(local.GridValue.value()[0][1], QStringLiteral("показания"));
    EXPECT_EQ(local.GridValue_1.value()[4][0], QStringLiteral("сумма"));

    MeterParameters sql(SqlModes());
    EXPECT_TRUE(sql.CheckAddr.value());
    EXPECT_TRUE(sql.LabeledDelta.isVisible());
    EXPECT_TRUE(sql.CheckResetTariff.isVisible());
    EXPECT_TRUE(sql.BitBtn1.isVisible());
}

TEST_F(MeterDecodersTest, ClearMeterDataBlanksTheMeterAndKeepsTheSettings)
{
    QSignalSpy focus(&p, &MeterParameters::serialNumberFocusRequested);
    p.SpinEdit_Number.set(77);
    p.SpinEdit_Number.setEnabled(false);
    p.BitBtn1.setEnabled(false);
    for (TextField *t : {&p.LabeledCurTime, &p.LabeledNCorrect, &p.LabeledOff, &p.LabeledVersion, &p.LabelA, &p.LabelB,
                         &p.LabelC, &p.EditOff, &p.LabeledDelta})
        t->set(QStringLiteral("x"));
    p.CheckSummer.set(true);
    p.Memo1.set({QStringLiteral("line")});
    p.StatusWord = 5;
    p.RadioStatus = 6;
    p.DriftSum = 1.5;
    p.DriftCount = 2;
    p.LastClockSet = QDateTime(QDate(2026, 1, 1), QTime(0, 0));
    p.SpinDay.edit(9);
    p.DatePicker.edit(QDate(2026, 5, 5));
    p.SpinEditA.edit(5);
    p.GridValue_1.set(ReadingsGrid{});

    p.ClearMeterData();

    EXPECT_EQ(p.SpinEdit_Number.value(), 0);
    EXPECT_TRUE(p.SpinEdit_Number.isEnabled());
    EXPECT_TRUE(p.BitBtn1.isEnabled());
    for (TextField *t :
         {&p.LabeledCurTime, &p.LabeledNCorrect, &p.LabeledOff, &p.LabeledVersion, &p.LabelA, &p.LabelB, &p.LabelC})
        EXPECT_TRUE(t->value().isEmpty()) << t->objectName().toStdString();
    EXPECT_EQ(p.EditOff.value(), QStringLiteral("x"));
    EXPECT_EQ(p.LabeledDelta.value(), QStringLiteral("x"));
    EXPECT_FALSE(p.CheckSummer.value());
    EXPECT_TRUE(p.Memo1.value().isEmpty());
    EXPECT_EQ(p.StatusWord, 0);
    EXPECT_EQ(p.RadioStatus, 0);
    EXPECT_EQ(p.DriftSum, 0);
    EXPECT_EQ(p.DriftCount, 0);
    EXPECT_FALSE(p.LastClockSet.isValid());
    EXPECT_EQ(p.SpinDay.value(), 9);
    EXPECT_EQ(p.SpinDay.mark(), 0);
    EXPECT_EQ(p.DatePicker.mark(), 0);
    EXPECT_EQ(p.SpinEditA.value(), 5);
    EXPECT_EQ(p.SpinEditA.mark(), 0);
    EXPECT_EQ(p.GridValue_1.value(), ReadingsGrid{}) << "the readings stay";
    EXPECT_EQ(focus.count(), 1);
}

TEST(MeterMarks, SharedChangeHandlerMarksTheSettingsControls)
{
    MeterParameters p{Modes{}};
    p.SpinNewAddr.edit(4);
    p.CheckBoxClock.edit(true);
    p.SpinHour.edit(3);
    p.CheckBox4.edit(true);
    p.SpinEditC.edit(8);
    p.TimePicker.edit(QTime(1, 2, 3));
    for (FieldBase *f : std::initializer_list<FieldBase *>{&p.SpinNewAddr, &p.CheckBoxClock, &p.SpinHour, &p.CheckBox4,
                                                           &p.SpinEditC, &p.TimePicker})
        EXPECT_EQ(f->mark(), 1) << f->objectName().toStdString();
    p.CheckAddr.edit(true);
    EXPECT_EQ(p.CheckAddr.mark(), 0);
    p.SpinHour.set(4);
    EXPECT_EQ(p.SpinHour.mark(), 1);
    p.ClearMeterData();
    EXPECT_EQ(p.SpinHour.mark(), 0);
}

TEST(MeterMarks, DatePickerOnlyOffersTheYearsTheClockFrameCarries)
{
    MeterParameters p{Modes{}};
    p.DatePicker.set(QDate(1999, 12, 31));
    EXPECT_EQ(p.DatePicker.value(), QDate(2000, 1, 1));
    p.DatePicker.set(QDate(2100, 1, 1));
    EXPECT_EQ(p.DatePicker.value(), QDate(2099, 12, 31));
}

// Every decoder, given any prefix of its reply, reads nothing past it and changes nothing.
TEST(MeterShortReplies, EveryDecoderIgnoresEveryTruncatedReply)
{
    test::LocaleScope locale(QLocale::c());
    struct Case {
        const char *name;
        QByteArray reply;
        std::function<bool(QByteArrayView, MeterParameters &)> decode;
    };
    int version = 0;
    const Case cases[] = {
        {"0", MakeFrame(0x00, Bytes({0x05, 0x10})),
         [&](QByteArrayView r, MeterParameters &p) {
             return DecodeFirmwareVersion(r, p, [&](int v) { version = v; });
         }},
        {"1", MakeFrame(0x01, Bytes({0x39, 0x30, 0x01})),
         [](QByteArrayView r, MeterParameters &p) { return DecodeSerialNumber(r, p, {}); }},
        {"4", MakeFrame(0x04, Bytes({0x30, 0x15, 0x10, 0x02, 0x08, 0x12, 0x26, 0x80})),
         [](QByteArrayView r, MeterParameters &p) { return DecodeClock(r, p, QDateTime::currentDateTime(), {}); }},
        {"6", MakeFrame(0x06, Bytes({0x12, 0x08})), DecodeFullStatus},
        {"10", MakeFrame(0x0A, QByteArray(9, '\x05')), DecodeDdmNumbers},
        {"12", MakeFrame(0x0C, Bytes({0xC9})), DecodeRadioStatus},
        {"13", MakeFrame(0x0D, Bytes({0x0F})), DecodeIndication},
        {"15", MakeFrame(0x0F, QByteArray(15, '\x01')), DecodeReadings},
        {"17", MakeFrame(0x11, Bytes({0x7D, 0x00, 0x00, 0x03})), DecodeOperatingTime},
        {"34", MakeFrame(0x22, Bytes({0x07, 0x25})), DecodeBillingDay},
        {"42", MakeFrame(0x2A, QByteArray(15, '\x01')), DecodeDdmTimes},
    };
    for (const Case &c : cases) {
        const qsizetype payloadEnd = static_cast<quint8>(c.reply[1]);
        // Cut anywhere before the end of the payload: with its CRC gone, and with the
        // length byte still claiming the full payload.
        for (qsizetype n = 0; n < payloadEnd; ++n) {
            MeterParameters p{Modes{}};
            p.CheckReadTarif.set(false);
            p.CheckNoIndi.set(false);
            p.CheckDdmRead.set(false);
            p.SpinEditA.set(1);
            const QByteArray truncated = c.reply.left(n);
            EXPECT_FALSE(c.decode(QByteArrayView(truncated.constData(), truncated.size()), p)) << c.name << " " << n;
            EXPECT_TRUE(p.LabeledVersion.value().isEmpty());
            EXPECT_TRUE(p.LabeledCurTime.value().isEmpty());
            EXPECT_TRUE(p.Memo1.value().isEmpty());
            EXPECT_EQ(p.StatusWord, 0);
            EXPECT_EQ(p.RadioStatus, 0);
            EXPECT_EQ(p.SpinEdit_Number.value(), 0);
            EXPECT_EQ(p.SpinEditB.value(), 0);
            EXPECT_FALSE(p.CheckBox1.value());
            EXPECT_TRUE(p.GridValue.value()[1][1].isEmpty());
            EXPECT_TRUE(p.LabeledOff.value().isEmpty());
            EXPECT_EQ(p.SpinHour.value(), 0);
            EXPECT_TRUE(p.LabelA.value().isEmpty());
        }
        // A length byte that promises less than the decoder needs: the CRC is not payload.
        QByteArray shortL = c.reply.left(payloadEnd - 1);
        shortL[1] = static_cast<char>(payloadEnd - 1);
        shortL = AppendCrc(shortL);
        MeterParameters p{Modes{}};
        EXPECT_FALSE(c.decode(shortL, p)) << c.name << " with short L";
        // And the whole reply is taken.
        MeterParameters full{Modes{}};
        full.SpinEditA.set(1);
        EXPECT_TRUE(c.decode(c.reply, full)) << c.name;
    }
}

} // namespace
} // namespace ordan
