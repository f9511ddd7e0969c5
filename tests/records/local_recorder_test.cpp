// The record of a finished write, the "+" button and the start-up defaults, on real
// Setting.DBF files read back by python3-dbfread, and on the table in memory.
#include "app/station_fixture.h"
#include "core/errors.h"
#include "dbf_test_files.h"
#include "meter/meter_panel.h"
#include "records/dbf_table.h"
#include "records/local_recorder.h"
#include "records/local_table_memory.h"
#include "records/setting_table.h"
#include "schedule/schedule_model.h"
#include "support/failing_sync.h"
#include "support/result_checks.h"
#include "support/small_disk.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

const QStringList kGated = {S("address"), S("c_date"), S("c_time"),    S("summer"),     S("pass"),     S("ddm_a"),
                            S("ddm_b"),   S("ddm_c"),  S("count_day"), S("count_hour"), S("indicator")};

// A station in normal mode whose recorder writes to a real Setting.DBF.
class LocalRecorderTest : public ::testing::Test {
protected:
    LocalRecorderTest()
    {
        path = dir.filePath(S("Setting.DBF"));
        recorder = std::make_unique<LocalRecorder>(table, rig.recordsWorker, p, station.schedule(), rig.op, rig.facts,
                                                   [this](const QString &e) {
                                                       reported.push_back(e);
                                                       station.ReportError(e);
                                                   });
    }

    void createTable()
    {
        QString error;
        ASSERT_TRUE(Succeeded(CreateSettingTable(path), error)) << error.toStdString();
    }

    // Values on the pages as a meter and an operator left them.
    void fillControls()
    {
        p.SpinEdit_Number.set(12345);
        p.LabeledVersion.set(S("10.3"));
        p.EditOff.set(S("125"));
        p.LabeledNCorrect.set(S("4"));
        p.StatusWord = 0x0812;
        p.DatePicker.set(QDate(2026, 3, 9));
        p.TimePicker.set(QTime(7, 5, 9));
        p.CheckBoxClock.set(true);
        p.SpinNewAddr.set(45);
        p.LabeledPass1.set(S("777"));
        p.SpinEditA.set(1);
        p.SpinEditB.set(2);
        p.SpinEditC.set(70000);
        p.SpinDay.set(25);
        p.SpinHour.set(7);
        p.CheckBox1.set(true);
        p.CheckBox3.set(true);
    }

    void setSelections(const LocalWriteSelections &s)
    {
        p.CheckTime.set(s.clock);
        p.CheckPassword.set(s.newPassword);
        p.CheckAddr.set(s.address);
        p.CheckShedule.set(s.billing);
        p.CheckDDM.set(s.ddm);
        p.CheckIndi.set(s.indication);
        p.CheckStatus.set(s.statusReset);
    }

    static void setGrid(Field<ReadingsGrid> &grid, const QStringList &cells)
    {
        ReadingsGrid g = grid.value();
        for (int row = 1; row <= 3; ++row)
            g[static_cast<size_t>(row)][1] = cells.value(row - 1);
        grid.set(g);
    }

    QJsonArray records(bool level7 = false)
    {
        QString error;
        const auto json = ReadWithDbfread(path, &error, level7);
        EXPECT_TRUE(json) << error.toStdString();
        return json ? (*json)[S("records")].toArray() : QJsonArray();
    }

    StationRig rig;
    Station &station = rig.make();
    MeterParameters &p = station.meter().parameters();
    QTemporaryDir dir;
    QString path;
    DbfTable table{dir.filePath(S("Setting.DBF"))};
    std::vector<QString> reported;
    std::unique_ptr<LocalRecorder> recorder;
};

TEST_F(LocalRecorderTest, ClockOnlyWriteLeavesTheOtherSettingsNull)
{
    const LocaleScope c(QLocale::c());
    createTable();
    fillControls();
    ASSERT_TRUE(p.CheckTime.value()); // the start state: only the clock is selected
    recorder->RecordLocal();
    EXPECT_TRUE(rig.op.boxes.empty());

    const QJsonArray rows = records();
    ASSERT_EQ(rows.size(), 1);
    const QJsonObject r = rows[0].toObject();
    EXPECT_EQ(r[S("c_number")].toDouble(), 12345.0);
    EXPECT_EQ(r[S("version")].toString(), S("10.3"));
    EXPECT_EQ(r[S("turn_on")].toDouble(), 125.0);
    EXPECT_EQ(r[S("status")].toDouble(), 0x0812);
    EXPECT_EQ(r[S("ncorrect")].toInt(), 4);
    EXPECT_EQ(r[S("c_date")].toString(), S("2026-03-09"));
    EXPECT_EQ(r[S("c_time")].toString(), S("07:05"));
    EXPECT_EQ(r[S("summer")].toBool(false), true);
    EXPECT_EQ(r[S("reset")].toBool(true), false);
    EXPECT_EQ(r[S("report")].toBool(true), false);
    EXPECT_TRUE(r[S("correct")].isNull());
    EXPECT_EQ(r[S("date_rec")].toString(), S("2026-12-08"));
    EXPECT_EQ(r[S("time_rec")].toString(), S("10:15"));
    for (const char *column : {"address", "pass", "indicator", "count_day", "count_hour", "ddm_a", "ddm_b", "ddm_c"})
        EXPECT_TRUE(r[S(column)].isNull()) << column;
    for (const char *column : kReadingColumns)
        EXPECT_TRUE(r[S(column)].isNull()) << column; // the readings were never read
    for (int z = 0; z < 6; ++z) {
        EXPECT_TRUE(r[S("zone_%1").arg(z)].isNull()) << z;
        EXPECT_EQ(r[S("time_%1").arg(z)].toString(S("not text")), QString()) << z;
    }
}

TEST_F(LocalRecorderTest, FullDiskShowsTheBoxAndLeavesTheTableAsItWas)
{
    SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString onDisk = disk.filePath(S("Setting.DBF"));
    QString error;
    ASSERT_TRUE(Succeeded(CreateSettingTable(onDisk), error)) << error.toStdString();
    DbfTable full(onDisk);
    LocalRecorder recorder(full, rig.recordsWorker, p, station.schedule(), rig.op, rig.facts, [](const QString &) {});
    fillControls();
    // Rows up to the end of a page, so the next one needs a page the full disk cannot give.
    int rows = 0;
    for (;;) {
        const auto h = Noted(full.open(), error);
        ASSERT_TRUE(h) << error.toStdString();
        if (QFileInfo(onDisk).size() % 4096 + h->recordLength > 4096)
            break;
        recorder.RecordLocal();
        ASSERT_TRUE(rig.op.boxes.empty());
        ++rows;
    }
    ASSERT_TRUE(disk.fill(0));
    const QByteArray before = ReadFile(onDisk);

    recorder.RecordLocal();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, S("Ошибка БД"));
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(S("Ошибка записи в БД: ") + onDisk + S(": ошибка записи (")))
        << rig.op.boxes[0].text.toStdString();
    EXPECT_EQ(ReadFile(onDisk).left(before.size()), before);
    EXPECT_EQ(Noted(full.rowCount(), error), rows);
    const auto json = ReadWithDbfread(onDisk, &error);
    ASSERT_TRUE(json) << error.toStdString();
    EXPECT_EQ((*json)[S("records")].toArray().size(), rows);
}

// Each of an append's three flushes (the record, its flag, the header's count) failing after
// its write went through: the box names the step and the system's reason, the row is not
// counted, and the next append goes through.
TEST_F(LocalRecorderTest, FailedFlushShowsTheBoxAndCountsNoRow)
{
    createTable();
    fillControls();
    for (int nth = 1; nth <= 3; ++nth) {
        rig.op.boxes.clear();
        const FailingSync failing(DiskStep::Flush, S("Setting.DBF"), nth);
        recorder->RecordLocal();
        ASSERT_EQ(rig.op.boxes.size(), 1u) << nth;
        EXPECT_EQ(rig.op.boxes[0].text, S("Ошибка записи в БД: ") + QDir::toNativeSeparators(path) + S(": ") +
                                            FailingSync::StepText(DiskStep::Flush));
        EXPECT_EQ(rig.op.boxes[0].caption, S("Ошибка БД"));
        QString error;
        EXPECT_EQ(Noted(table.rowCount(), error), 0) << nth;
        EXPECT_EQ(records().size(), 0) << nth;
    }
    rig.op.boxes.clear();
    recorder->RecordLocal();
    EXPECT_TRUE(rig.op.boxes.empty());
    EXPECT_EQ(records().size(), 1);
}

struct SelectionCase {
    const char *name;
    LocalWriteSelections sent;
    QMap<QString, QVariant> expected; // the gated columns that hold a value; the rest null
};

class LocalRecorderSelections : public LocalRecorderTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(LocalRecorderSelections, RecordsWhatWasSelectedForWriting)
{
    const LocaleScope c(QLocale::c());
    createTable();
    fillControls();
    setSelections(GetParam().sent);
    recorder->RecordLocal();
    ASSERT_TRUE(rig.op.boxes.empty());
    const QJsonArray rows = records();
    ASSERT_EQ(rows.size(), 1);
    const QJsonObject r = rows[0].toObject();
    for (const QString &column : kGated) {
        const auto it = GetParam().expected.constFind(column);
        if (it == GetParam().expected.cend()) {
            // dbfread gives text columns as "", the station reads them as null.
            if (column == S("c_time"))
                EXPECT_EQ(r[column].toString(S("x")), QString());
            else
                EXPECT_TRUE(r[column].isNull()) << column.toStdString();
        } else {
            EXPECT_EQ(r[column].toVariant(), *it) << column.toStdString();
        }
    }
    EXPECT_EQ(r[S("reset")].toBool(), GetParam().sent.statusReset);
}

LocalWriteSelections Only(bool LocalWriteSelections::*member)
{
    LocalWriteSelections s;
    s.*member = true;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    EachSelection, LocalRecorderSelections,
    ::testing::Values(
        SelectionCase{"nothing", {}, {}},
        SelectionCase{"clock",
                      Only(&LocalWriteSelections::clock),
                      {{S("c_date"), S("2026-03-09")}, {S("c_time"), S("07:05")}, {S("summer"), true}}},
        SelectionCase{"address", Only(&LocalWriteSelections::address), {{S("address"), 45}}},
        SelectionCase{"password", Only(&LocalWriteSelections::newPassword), {{S("pass"), 777.0}}},
        SelectionCase{"billing", Only(&LocalWriteSelections::billing), {{S("count_day"), 25}, {S("count_hour"), 7}}},
        SelectionCase{
            "ddm", Only(&LocalWriteSelections::ddm), {{S("ddm_a"), 1.0}, {S("ddm_b"), 2.0}, {S("ddm_c"), 70000.0}}},
        SelectionCase{"indication", Only(&LocalWriteSelections::indication), {{S("indicator"), 5}}},
        SelectionCase{"statusReset", Only(&LocalWriteSelections::statusReset), {}}),
    [](const auto &info) { return std::string(info.param.name); });

struct ReadingsCase {
    const char *name;
    const char *locale;
    QStringList current;
    QStringList billing;
    std::vector<std::optional<double>> expected; // t_1_c, t_2_c, t_3_c, t_1_1, t_2_1, t_3_1
};

class LocalRecorderReadings : public LocalRecorderTest, public ::testing::WithParamInterface<ReadingsCase> {};

TEST_P(LocalRecorderReadings, StopAtTheFirstCellThatIsNotANumber)
{
    const ReadingsCase &c = GetParam();
    const LocaleScope locale{QLocale(QString::fromLatin1(c.locale))};
    createTable();
    setGrid(p.GridValue, c.current);
    setGrid(p.GridValue_1, c.billing);
    recorder->RecordLocal();
    const QJsonArray rows = records();
    ASSERT_EQ(rows.size(), 1);
    const QJsonObject r = rows[0].toObject();
    for (size_t i = 0; i < kReadingColumns.size(); ++i) {
        const QJsonValue v = r[S(kReadingColumns[i])];
        if (c.expected[i])
            EXPECT_DOUBLE_EQ(v.toDouble(-1), *c.expected[i]) << kReadingColumns[i];
        else
            EXPECT_TRUE(v.isNull()) << kReadingColumns[i];
    }
}

const std::vector<std::optional<double>> kAllSix = {1.0, 2.0, 0.00025, 1073741.824, 0.0, 3.5};

INSTANTIATE_TEST_SUITE_P(Cells, LocalRecorderReadings,
                         ::testing::Values(ReadingsCase{"neverRead", "C", {}, {}, {{}, {}, {}, {}, {}, {}}},
                                           ReadingsCase{"allSix",
                                                        "C",
                                                        {S("1.00000"), S("2.00000"), S("0.00025")},
                                                        {S("1073741.82400"), S("0.00000"), S("3.50000")},
                                                        kAllSix},
                                           ReadingsCase{"allSixRussian",
                                                        "ru_RU",
                                                        {S("1,00000"), S("2,00000"), S("0,00025")},
                                                        {S("1073741,82400"), S("0,00000"), S("3,50000")},
                                                        kAllSix},
                                           ReadingsCase{"nonNumberInRowTwo",
                                                        "C",
                                                        {S("1.00000"), S("abc"), S("3.00000")},
                                                        {S("1.00000"), S("2.00000"), S("3.00000")},
                                                        {1.0, {}, {}, {}, {}, {}}},
                                           ReadingsCase{"noBillingDayValues",
                                                        "C",
                                                        {S("1.00000"), S("2.00000"), S("3.00000")},
                                                        {},
                                                        {1.0, 2.0, 3.0, {}, {}, {}}},
                                           ReadingsCase{"lastCellBlank",
                                                        "C",
                                                        {S("1.00000"), S("2.00000"), S("3.00000")},
                                                        {S("4.00000"), S("5.00000"), S("")},
                                                        {1.0, 2.0, 3.0, 4.0, 5.0, {}}}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(LocalRecorderTest, TextsThatAreNotNumbersRecordZero)
{
    createTable();
    p.EditOff.set(QString());
    p.LabeledNCorrect.set(S("abc"));
    p.LabeledPass1.set(S("12a"));
    p.CheckPassword.set(true);
    // Clicking "Полный" only asks for the next reply to be shown; nothing was received.
    p.RadioTStatusClick();
    ASSERT_EQ(p.StatusWord, -1);
    recorder->RecordLocal();
    const QJsonArray rows = records();
    ASSERT_EQ(rows.size(), 1);
    const QJsonObject r = rows[0].toObject();
    EXPECT_EQ(r[S("turn_on")].toDouble(-1), 0.0);
    EXPECT_EQ(r[S("ncorrect")].toInt(-1), 0);
    EXPECT_EQ(r[S("pass")].toDouble(-1), 0.0);
    EXPECT_EQ(r[S("status")].toDouble(-1), 0.0);
}

TEST_F(LocalRecorderTest, IntegerOrZeroReadsDecimalIntegersOnly)
{
    EXPECT_EQ(IntegerOrZero(S("2102400")), 2102400);
    EXPECT_EQ(IntegerOrZero(S(" 17 ")), 17);
    EXPECT_EQ(IntegerOrZero(S("-3")), -3);
    EXPECT_EQ(IntegerOrZero(S("1.5")), 0);
    EXPECT_EQ(IntegerOrZero(S("0x10")), 0);
    EXPECT_EQ(IntegerOrZero(QString()), 0);
}

TEST_F(LocalRecorderTest, SummerShowsAsSumerCorrectFromTheFile)
{
    createTable();
    setSelections({});
    p.TimePicker.set(QTime(9, 41));
    recorder->RecordLocal(); // no clock: summer null
    p.CheckTime.set(true);
    p.CheckBoxClock.set(true);
    recorder->RecordLocal();
    p.CheckBoxClock.set(false);
    recorder->RecordLocal();
    QString error;
    const auto rows = table.select({QDate(2026, 12, 8), QDate(2026, 12, 8), 0});
    error = rows.error();
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows->size(), 3);
    EXPECT_EQ(SumerCorrectText((*rows)[0].value(S("summer"))), QString());
    EXPECT_EQ(SumerCorrectText((*rows)[1].value(S("summer"))), S("да"));
    EXPECT_EQ(SumerCorrectText((*rows)[2].value(S("summer"))), S("нет"));
    EXPECT_FALSE((*rows)[0].value(S("c_time")).isValid());
    EXPECT_EQ((*rows)[1].value(S("c_time")), QVariant(p.TimePicker.value().toString(S("hh:mm"))));
}

TEST_F(LocalRecorderTest, ReadOnlyTableIsAWriteErrorAndStaysUnchanged)
{
    createTable();
    const QByteArray before = ReadFile(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    recorder->RecordLocal();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(S("Ошибка записи в БД: "))) << rig.op.boxes[0].text.toStdString();
    EXPECT_TRUE(rig.op.boxes[0].text.contains(S("только для чтения")));
    EXPECT_EQ(rig.op.boxes[0].caption, S("Ошибка БД"));
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(LocalRecorderTest, MissingTableIsAWriteErrorToo)
{
    recorder->RecordLocal();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(S("Ошибка записи в БД: ")));
    EXPECT_EQ(rig.op.boxes[0].caption, S("Ошибка БД"));
    EXPECT_FALSE(QFile::exists(path)); // the station never creates the table
}

TEST_F(LocalRecorderTest, PlusOnAnEmptyTableProposesOneWithTheEditedMark)
{
    createTable();
    recorder->installPlusButton();
    p.SpinEdit_Number.set(0);
    p.SpinEdit_Number.setMark(0);
    ASSERT_TRUE(p.BitBtn1.execute());
    EXPECT_EQ(p.SpinEdit_Number.value(), 1);
    EXPECT_EQ(p.SpinEdit_Number.mark(), 1);
    EXPECT_TRUE(rig.op.boxes.empty());
}

TEST_F(LocalRecorderTest, PlusProposesTheLargestNumberPlusOne)
{
    createTable();
    QString error;
    for (double n : {41.0, 1006.6, 7.0})
        ASSERT_TRUE(Succeeded(table.append({{S("c_number"), n}, {S("date_rec"), QDate(2026, 12, 1)}}), error));
    recorder->BitBtn1Click();
    EXPECT_EQ(p.SpinEdit_Number.value(), 1008); // rounded, plus one
    EXPECT_EQ(p.SpinEdit_Number.mark(), 1);
}

TEST_F(LocalRecorderTest, PlusOnAMissingOrDamagedTableIsTheGeneralErrorReport)
{
    p.SpinEdit_Number.set(5);
    recorder->BitBtn1Click();
    ASSERT_EQ(reported.size(), 1u);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_EQ(rig.op.boxes[0].text, GeneralErrorText(reported[0]));
    EXPECT_EQ(p.SpinEdit_Number.value(), 5);
    EXPECT_EQ(p.SpinEdit_Number.mark(), 0);

    ASSERT_TRUE(WriteFile(path, QByteArray("not a table at all, only text")));
    recorder->BitBtn1Click();
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_EQ(p.SpinEdit_Number.value(), 5);
}

// --- LoadRecordDefaults ---

struct ScheduleSnapshot {
    bool single;
    std::array<QString, 6> tariffs;
    std::array<QTime, 6> starts;
    std::array<bool, 4> boxes;
    bool operator==(const ScheduleSnapshot &) const = default;
};

class LocalDefaultsTest : public LocalRecorderTest {
protected:
    ScheduleSnapshot snapshot() const
    {
        ScheduleSnapshot s;
        const ScheduleModel &m = station.schedule();
        s.single = m.CheckOneTarif.value();
        s.tariffs = m.ValueListEditor1.value();
        for (int z = 0; z < 6; ++z)
            s.starts[static_cast<size_t>(z)] = m.picker(z).value();
        const auto boxes = p.indicationBoxes();
        for (size_t i = 0; i < 4; ++i)
            s.boxes[i] = boxes[i]->value();
        return s;
    }
    void append(const LocalRow &row)
    {
        QString error;
        ASSERT_TRUE(Succeeded(table.append(row), error)) << error.toStdString();
    }
    static LocalRow Zones(QDate day, const std::array<std::optional<int>, 6> &zones, QVariant indicator = {})
    {
        LocalRow r{{S("date_rec"), day}, {S("c_number"), 1}, {S("indicator"), indicator}};
        for (int z = 0; z < 6; ++z) {
            if (zones[static_cast<size_t>(z)]) {
                r.insert(S("zone_%1").arg(z), *zones[static_cast<size_t>(z)]);
                r.insert(S("time_%1").arg(z), QTime(6 + z, 10 * z));
            }
        }
        return r;
    }
};

TEST_F(LocalDefaultsTest, TheFirstRowOfTheLatestDayPresetsZonesAndIndication)
{
    createTable();
    append(Zones(QDate(2026, 12, 9), {3, 3, 3, 3, 3, 3}, 15)); // an earlier day, stored later
    append(Zones(QDate(2026, 12, 7), {1, 1, 1, 1, 1, 1}, 15));
    append(Zones(QDate(2026, 12, 10), {2, std::nullopt, 1, std::nullopt, 3, 2}, 10));
    append(Zones(QDate(2026, 12, 10), {3, 3, 3, 3, 3, 3}, 15)); // same day, second row: unused
    const ScheduleSnapshot before = snapshot();
    ASSERT_TRUE(before.single);

    EXPECT_TRUE(recorder->LoadRecordDefaults());
    const ScheduleSnapshot after = snapshot();
    EXPECT_FALSE(after.single);
    EXPECT_EQ(after.tariffs[0], S("2"));
    EXPECT_EQ(after.starts[0], QTime(6, 0));
    EXPECT_EQ(after.tariffs[1], before.tariffs[1]); // null zone: left alone
    EXPECT_EQ(after.starts[1], before.starts[1]);
    EXPECT_EQ(after.tariffs[2], S("1"));
    EXPECT_EQ(after.starts[2], QTime(8, 20));
    EXPECT_EQ(after.tariffs[3], before.tariffs[3]);
    EXPECT_EQ(after.tariffs[4], S("3"));
    EXPECT_EQ(after.starts[4], QTime(10, 40));
    EXPECT_EQ(after.tariffs[5], S("2"));
    EXPECT_EQ(after.starts[5], QTime(11, 50));
    EXPECT_EQ(after.boxes, (std::array<bool, 4>{false, true, false, true}));
    for (const BoolField *box : p.indicationBoxes())
        EXPECT_EQ(box->mark(), 0);
    EXPECT_TRUE(rig.op.boxes.empty());
}

TEST_F(LocalDefaultsTest, ZoneZeroOfZeroMeansOneTariffAndKeepsZoneZero)
{
    createTable();
    station.schedule().presetSingleTariff(false);
    append(Zones(QDate(2026, 12, 10), {0, 3, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    const ScheduleSnapshot before = snapshot();
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    const ScheduleSnapshot after = snapshot();
    EXPECT_TRUE(after.single);
    EXPECT_EQ(after.tariffs[0], before.tariffs[0]);
    EXPECT_EQ(after.starts[0], before.starts[0]);
    EXPECT_EQ(after.tariffs[1], S("3"));
    EXPECT_EQ(after.starts[1], QTime(7, 10));
    EXPECT_EQ(after.boxes, before.boxes); // indicator null
}

TEST_F(LocalDefaultsTest, RowsRecordedByTheStationChangeNothing)
{
    createTable();
    fillControls();
    setSelections({});
    recorder->RecordLocal();
    station.schedule().presetSingleTariff(false);
    const ScheduleSnapshot before = snapshot();
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    EXPECT_EQ(snapshot(), before);
}

TEST_F(LocalDefaultsTest, AnEmptyTableChangesNothing)
{
    createTable();
    const ScheduleSnapshot before = snapshot();
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(rig.op.boxes.empty());
}

TEST_F(LocalDefaultsTest, AMissingOrDamagedTableFailsWithTheGeneralErrorReport)
{
    EXPECT_FALSE(recorder->LoadRecordDefaults());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(rig.op.boxes.at(0).caption, WindowTitle());
    EXPECT_EQ(rig.op.boxes.at(0).icon, BoxIcon::Error);

    // A header that promises more than the file holds, and one that is cut short.
    createTable();
    QByteArray bytes = ReadFile(path);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(WriteFile(path, bytes.left(40)));
    EXPECT_FALSE(recorder->LoadRecordDefaults());
    EXPECT_EQ(reported.size(), 2u);
}

TEST_F(LocalDefaultsTest, ColumnsInAnotherOrderAreFoundByName)
{
    const QList<RawField> fields = {
        {"EXTRA", 'C', 4},    {"INDICATOR", 'N', 6}, {"TIME_1", 'C', 8}, {"ZONE_1", 'N', 11},
        {"DATE_REC", 'D', 8}, {"ZONE_0", 'N', 11},   {"TIME_0", 'C', 8}, {"C_NUMBER", 'N', 10},
    };
    auto record = [](const char *date, int zone0, int zone1, int indicator) -> QByteArray {
        return QByteArray(" ") + Padded("x", 4) + RightAligned(QByteArray::number(indicator), 6) +
               Padded("05:00:00", 8) + RightAligned(QByteArray::number(zone1), 11) + date +
               RightAligned(QByteArray::number(zone0), 11) + Padded("01:30", 8) + RightAligned("900", 10);
    };
    ASSERT_TRUE(
        WriteFile(path, LayOutTable(0x03, false, fields, {record("20261201", 1, 1, 15), record("20261208", 2, 3, 6)})));
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    const ScheduleSnapshot s = snapshot();
    EXPECT_FALSE(s.single);
    EXPECT_EQ(s.tariffs[0], S("2"));
    EXPECT_EQ(s.starts[0], QTime(1, 30));
    EXPECT_EQ(s.tariffs[1], S("3"));
    EXPECT_EQ(s.starts[1], QTime(5, 0));
    EXPECT_EQ(s.boxes, (std::array<bool, 4>{false, true, true, false}));
    EXPECT_TRUE(reported.empty());
}

// A level 7 table with every column, in reverse order: zones as binary integers and
// zone times as level 7 timestamps.
QList<RawField> Level7SettingFields()
{
    QList<RawField> fields;
    for (auto it = kSettingColumns.rbegin(); it != kSettingColumns.rend(); ++it) {
        const QByteArray name = QByteArray(it->name.data(), static_cast<qsizetype>(it->name.size())).toUpper();
        switch (it->type) {
        case SettingType::Float: fields.append({name, 'N', it->length, it->decimals}); break;
        case SettingType::SmallInt:
        case SettingType::Integer: fields.append({name, 'I', 4}); break;
        case SettingType::Text: fields.append({name, 'C', it->length}); break;
        case SettingType::Date: fields.append({name, 'D', 8}); break;
        case SettingType::Logical: fields.append({name, 'L', 1}); break;
        case SettingType::TimeOfDay: fields.append({name, '@', 8}); break;
        }
    }
    return fields;
}

QByteArray Level7Row(const QList<RawField> &fields, const QMap<QByteArray, QByteArray> &values)
{
    QByteArray record(" ");
    for (const RawField &f : fields) {
        if (values.contains(f.name)) {
            record += values.value(f.name);
        } else if (f.type == 'I' || f.type == '@') {
            record += QByteArray(f.length, '\0');
        } else {
            record += QByteArray(f.length, ' ');
        }
    }
    return record;
}

TEST_F(LocalDefaultsTest, Level7TableIsReadAppendedToAndStillRead)
{
    const LocaleScope c(QLocale::c());
    const QList<RawField> fields = Level7SettingFields();
    const QDate zero(1899, 12, 30);
    const QByteArray old = Level7Row(fields, {{"C_NUMBER", RightAligned("700", 12)},
                                              {"DATE_REC", "20261207"},
                                              {"TIME_REC", "09:00"},
                                              {"ZONE_0", Level7Int(2)},
                                              {"TIME_0", Level7Timestamp(zero, 6 * 3600000)},
                                              {"ZONE_1", Level7Int(3)},
                                              {"TIME_1", Level7Timestamp(zero, 7 * 3600000 + 30 * 60000)},
                                              {"INDICATOR", Level7Int(9)},
                                              {"SUMMER", "T"}});
    ASSERT_TRUE(WriteFile(path, LayOutTable(0x04, true, fields, {old})));

    EXPECT_TRUE(recorder->LoadRecordDefaults());
    ScheduleSnapshot s = snapshot();
    EXPECT_FALSE(s.single);
    EXPECT_EQ(s.tariffs[0], S("2"));
    EXPECT_EQ(s.starts[0], QTime(6, 0));
    EXPECT_EQ(s.tariffs[1], S("3"));
    EXPECT_EQ(s.starts[1], QTime(7, 30));
    EXPECT_EQ(s.boxes, (std::array<bool, 4>{true, false, false, true}));

    fillControls();
    p.CheckAddr.set(true);
    recorder->RecordLocal();
    ASSERT_TRUE(rig.op.boxes.empty()) << rig.op.boxes[0].text.toStdString();

    QString error;
    const auto latest = Noted(table.latestDay(), error);
    ASSERT_TRUE(latest) << error.toStdString();
    EXPECT_EQ(latest->date, QDate(2026, 12, 8));
    ASSERT_EQ(latest->rows.size(), 1);
    EXPECT_EQ(latest->rows[0].value(S("c_number")), QVariant(12345.0));
    EXPECT_EQ(latest->rows[0].value(S("address")), QVariant(45));
    EXPECT_EQ(latest->rows[0].value(S("c_time")), QVariant(S("07:05")));
    EXPECT_FALSE(latest->rows[0].value(S("zone_0")).isValid());
    const auto oldDay = table.select({QDate(2026, 12, 7), QDate(2026, 12, 7), 0});
    error = oldDay.error();
    ASSERT_TRUE(oldDay && oldDay->size() == 1) << error.toStdString();
    EXPECT_EQ((*oldDay)[0].value(S("zone_1")), QVariant(3));
    EXPECT_EQ((*oldDay)[0].value(S("time_1")), QVariant(QTime(7, 30)));

    const QJsonArray rows = records(true);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()[S("zone_0")].toInt(), 2);
    const QJsonObject added = rows[1].toObject();
    EXPECT_EQ(added[S("c_number")].toDouble(), 12345.0);
    EXPECT_EQ(added[S("address")].toInt(), 45);
    EXPECT_EQ(added[S("ncorrect")].toInt(), 4);
    EXPECT_EQ(added[S("date_rec")].toString(), S("2026-12-08"));
    EXPECT_TRUE(added[S("zone_0")].isNull());
    EXPECT_TRUE(added[S("time_0")].isNull());
    EXPECT_TRUE(added[S("correct")].isNull());

    // The new row is the latest now and carries no zones: the schedule stays as it is.
    station.schedule().presetZone(0, S("1"), QTime(0, 0));
    const ScheduleSnapshot before = snapshot();
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    EXPECT_EQ(snapshot(), before);
}

TEST(LocalDefaultsMemory, OnlyBitsZeroToThreeOfTheIndicatorCount)
{
    StationRig rig;
    Station &station = rig.make();
    MeterParameters &p = station.meter().parameters();
    MemoryLocalTable table;
    table.rows.append({{S("date_rec"), QDate(2026, 12, 8)}, {S("indicator"), 0xF2}});
    LocalRecorder recorder(table, rig.recordsWorker, p, station.schedule(), rig.op, rig.facts, [](const QString &) {});
    EXPECT_TRUE(recorder.LoadRecordDefaults());
    EXPECT_FALSE(p.CheckBox1.value());
    EXPECT_TRUE(p.CheckBox2.value());
    EXPECT_FALSE(p.CheckBox3.value());
    EXPECT_FALSE(p.CheckBox4.value());
}

// --- tables other programs made: python3-dbf in dBase III, FoxPro and Visual FoxPro forms ---

struct ForeignForm {
    const char *form;
    bool nullsStored; // the zone, address and indicator columns can hold null
};

void PrintTo(const ForeignForm &f, std::ostream *os) { *os << f.form; }

class LocalForeignTable : public LocalDefaultsTest, public ::testing::WithParamInterface<ForeignForm> {
protected:
    static QByteArray RunDbfModule(const QStringList &args)
    {
        QProcess py;
        StartPythonReader(py, QStringList{S(ORDAN_DBF_MODULE_SCRIPT)} + args);
        EXPECT_TRUE(py.waitForFinished(60000));
        EXPECT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
        return py.readAllStandardOutput();
    }
};

TEST_P(LocalForeignTable, StationAppendsNullsThatBothReadersSeeAndTheDefaultsIgnore)
{
    const ForeignForm &form = GetParam();
    const LocaleScope c(QLocale::c());
    RunDbfModule({S("create"), QString::fromLatin1(form.form), path});

    // The other program's row presets the schedule and the display items.
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    const ScheduleSnapshot preset = snapshot();
    EXPECT_FALSE(preset.single);
    EXPECT_EQ(preset.tariffs, (std::array<QString, 6>{S("2"), S("1"), S("3"), S("1"), S("2"), S("3")}));
    EXPECT_EQ(preset.starts[2], QTime(8, 20));
    EXPECT_EQ(preset.boxes, (std::array<bool, 4>{false, true, false, true}));

    // The station records a clock-only write: no address, password, display items or zones.
    fillControls();
    recorder->RecordLocal();
    ASSERT_TRUE(rig.op.boxes.empty()) << rig.op.boxes.front().text.toStdString();

    const QJsonArray byModule =
        QJsonDocument::fromJson(RunDbfModule({S("read"), path})).object()[S("records")].toArray();
    ASSERT_EQ(byModule.size(), 2);
    const QJsonObject added = byModule[1].toObject();
    EXPECT_EQ(added[S("c_number")].toDouble(), 12345.0);
    EXPECT_EQ(added[S("version")].toString(), S("10.3"));
    EXPECT_EQ(added[S("date_rec")].toString(), S("2026-12-08"));
    EXPECT_EQ(added[S("summer")].toBool(false), true);
    EXPECT_TRUE(added[S("pass")].isNull());
    EXPECT_TRUE(added[S("t_1_c")].isNull());
    for (const char *column : {"address", "indicator", "zone_0", "zone_5", "count_day"}) {
        if (form.nullsStored)
            EXPECT_TRUE(added[S(column)].isNull()) << column;
        else
            EXPECT_EQ(added[S(column)].toInt(-1), 0) << column; // the column has no null
    }
    for (const char *column : {"time_0", "time_5"})
        EXPECT_TRUE(added[S(column)].isNull() || added[S(column)].toString() == QString()) << column;
    EXPECT_EQ(byModule[0].toObject()[S("zone_2")].toInt(), 3); // the other row is untouched

    const QJsonArray byDbfread = records();
    ASSERT_EQ(byDbfread.size(), 2);
    EXPECT_EQ(byDbfread[1].toObject()[S("c_number")].toDouble(), 12345.0);
    EXPECT_TRUE(byDbfread[1].toObject()[S("pass")].isNull());
    EXPECT_TRUE(byDbfread[1].toObject()[S("t_1_c")].isNull());

    // The station's row is now the latest: it carries no settings for the defaults, so a
    // start-up leaves the schedule and the display items as they are.
    const ScheduleSnapshot before = snapshot();
    EXPECT_TRUE(recorder->LoadRecordDefaults());
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Forms, LocalForeignTable,
                         ::testing::Values(ForeignForm{"db3", true}, ForeignForm{"fp", true}, ForeignForm{"vfp", false},
                                           ForeignForm{"vfp-null", true}),
                         [](const auto &info) {
                             std::string name = info.param.form;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace ordan::test
