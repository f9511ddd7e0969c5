// The station in normal mode against the simulated meter (behind the rig's line) on virtual
// time, with the settings log wired as the station wires it: finished writes become rows of
// a real Setting.DBF, and the page "База данных" shows them.
#include "local_station_fixture.h"

namespace ordan::test {
namespace {

TEST_F(LocalStationSim, TwoWritesWithDifferentSelectionsMakeTwoRows)
{
    const LocaleScope c(QLocale::c());
    start();
    ASSERT_TRUE(rig.op.boxes.empty());
    connect();

    // First write: the clock, as the station starts, and the reset of the status flag.
    ASSERT_TRUE(p().CheckTime.value());
    p().CheckStatus.set(true);
    const QString clockText = p().TimePicker.value().toString(S("hh:mm"));
    const bool summer = p().CheckBoxClock.value();
    write();
    ASSERT_EQ(records().size(), 1);

    // Second write: everything but the clock. The meter has counted its clock setting and
    // dropped the fixation flag by now.
    ASSERT_TRUE(rig.timers.advanceUntil([this] { return p().LabeledNCorrect.value() == S("4"); }, 30000, 10));
    settle();
    ASSERT_TRUE(rig.timers.advanceUntil([this] { return p().StatusWord == 0x0012; }, 30000, 10));
    p().CheckStatus.set(false);
    p().CheckTime.set(false);
    p().CheckAddr.set(true);
    p().SpinNewAddr.set(7);
    p().CheckShedule.set(true);
    p().SpinDay.set(25);
    p().SpinHour.set(7);
    p().CheckDDM.set(true);
    p().SpinEditA.set(1);
    p().SpinEditB.set(2);
    p().SpinEditC.set(70000);
    p().CheckIndi.set(true);
    p().CheckBox1.set(true);
    p().CheckBox2.set(false);
    p().CheckBox3.set(true);
    p().CheckBox4.set(false);
    p().CheckPassword.set(true);
    p().LabeledPass1.set(S("5"));
    write();
    EXPECT_EQ(meter.state().busAddress, 7);
    EXPECT_EQ(meter.state().password, 5);

    const QJsonArray rows = records();
    ASSERT_EQ(rows.size(), 2);
    const QJsonObject first = rows[0].toObject();
    const QJsonObject second = rows[1].toObject();
    for (const QJsonObject &r : {first, second}) {
        EXPECT_EQ(r[S("c_number")].toDouble(), 77881.0);
        EXPECT_EQ(r[S("version")].toString(), S("10.3"));
        EXPECT_GE(r[S("turn_on")].toDouble(), 17520.0 * 120);
        EXPECT_EQ(r[S("date_rec")].toString(), S("2026-12-08"));
        EXPECT_EQ(r[S("time_rec")].toString(), S("10:15"));
        EXPECT_EQ(r[S("report")].toBool(true), false);
        EXPECT_TRUE(r[S("correct")].isNull());
        for (int t = 0; t < 3; ++t) {
            EXPECT_FALSE(r[S(kReadingColumns[size_t(t)])].isNull()) << t;
            EXPECT_DOUBLE_EQ(r[S(kReadingColumns[size_t(t + 3)])].toDouble(-1),
                             double(meter.state().billingEnergy[size_t(t)]) * 0.00025)
                << t;
        }
    }
    EXPECT_EQ(first[S("status")].toDouble(), 0x0812);
    EXPECT_EQ(first[S("ncorrect")].toInt(), 3);
    EXPECT_EQ(first[S("c_date")].toString(), S("2026-12-08"));
    EXPECT_EQ(first[S("c_time")].toString(), clockText);
    EXPECT_EQ(first[S("summer")].toBool(!summer), summer);
    EXPECT_EQ(first[S("reset")].toBool(false), true);
    for (const char *column : {"address", "pass", "indicator", "count_day", "count_hour", "ddm_a", "ddm_b", "ddm_c"})
        EXPECT_TRUE(first[S(column)].isNull()) << column;

    EXPECT_EQ(second[S("status")].toDouble(), 0x0012);
    EXPECT_EQ(second[S("ncorrect")].toInt(), 4);
    EXPECT_TRUE(second[S("c_date")].isNull());
    EXPECT_EQ(second[S("c_time")].toString(S("x")), QString());
    EXPECT_TRUE(second[S("summer")].isNull());
    EXPECT_EQ(second[S("reset")].toBool(true), false);
    EXPECT_EQ(second[S("address")].toInt(), 7);
    EXPECT_EQ(second[S("pass")].toDouble(), 5.0);
    EXPECT_EQ(second[S("count_day")].toInt(), 25);
    EXPECT_EQ(second[S("count_hour")].toInt(), 7);
    EXPECT_EQ(second[S("ddm_a")].toDouble(), 1.0);
    EXPECT_EQ(second[S("ddm_b")].toDouble(), 2.0);
    EXPECT_EQ(second[S("ddm_c")].toDouble(), 70000.0);
    EXPECT_EQ(second[S("indicator")].toInt(), 5);

    // The page shows both.
    std::vector<int> pages;
    QObject::connect(view, &LocalLogView::activePageRequested, [&pages](int i) { pages.push_back(i); });
    LocalLogTableModel grid(*view);
    view->SpinFilter.edit(77881);
    ASSERT_TRUE(station->ActionOpen.execute());
    EXPECT_EQ(view->StatusBar2.value(), S(" Записей: 2"));
    EXPECT_EQ(pages, std::vector<int>{PageIndex(MainPage::Database)});
    ASSERT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), S("77881"));
    EXPECT_EQ(grid.data(grid.index(0, 14)).toString(), summer ? S("да") : S("нет"));
    EXPECT_EQ(grid.data(grid.index(1, 14)).toString(), QString());
    EXPECT_EQ(grid.data(grid.index(1, 4)).toString(), S("7"));
    EXPECT_FALSE(station->ActionOpen.isEnabled());
    EXPECT_TRUE(station->ActionClose.isEnabled());

    // Closing the window closes the view.
    station->FormClose();
    EXPECT_FALSE(view->isOpen());
    EXPECT_EQ(grid.rowCount(), 0);
    EXPECT_TRUE(station->ActionOpen.isEnabled());
}

TEST_F(LocalStationSim, AFailedWriteRecordsNothing)
{
    start();
    connect();
    meter.state().password = 9; // the access password no longer fits
    ASSERT_TRUE(p().ActionSetting.execute());
    ASSERT_TRUE(
        rig.timers.advanceUntil([this] { return station->panel().Shape1.value() == Indicator::Red; }, 30000, 10));
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, Engine::WriteErrorText());
    QString error;
    EXPECT_EQ(Noted(table.rowCount(), error), 0);
}

TEST_F(LocalStationSim, ATableSetReadOnlyLosesTheRowAndTheStationGoesOn)
{
    start();
    connect();
    ASSERT_TRUE(QFile::setPermissions(table.path(), QFileDevice::ReadOwner));
    ASSERT_TRUE(p().ActionSetting.execute());
    ASSERT_TRUE(
        rig.timers.advanceUntil([this] { return station->panel().Shape1.value() == Indicator::Green; }, 30000, 10));
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_TRUE(rig.op.boxes[0].text.startsWith(S("Ошибка записи в БД: ")));
    EXPECT_EQ(rig.op.boxes[0].caption, S("Ошибка БД"));
    // ClearMeterData ran after the record, and polling goes on.
    EXPECT_EQ(p().SpinEdit_Number.value(), 0);
    ASSERT_TRUE(rig.timers.advanceUntil([this] { return p().SpinEdit_Number.value() == 77881; }, 30000, 10));
}

// Another program holds the table: the append waits on the records' worker, the polling goes
// on, and "+" pressed meanwhile reads the table only after the row is in.
TEST_F(LocalStationSim, AnAppendThatWaitsLeavesThePollingGoingAndPlusReadsAfterIt)
{
    start();
    connect();
    rig.recordsWorker.hold();
    write();
    ASSERT_TRUE(p().BitBtn1.execute());
    const int before = requests;
    rig.timers.advance(5000);
    EXPECT_GT(requests - before, 20);
    EXPECT_EQ(rig.recordsWorker.waiting(), 2u);
    QString error;
    EXPECT_EQ(Noted(table.rowCount(), error), 0);

    rig.recordsWorker.release();
    EXPECT_EQ(Noted(table.rowCount(), error), 1);
    EXPECT_EQ(p().SpinEdit_Number.value(), 77882);
    EXPECT_TRUE(rig.op.boxes.empty());
}

// Straight after the 2 s clear the fields a record needs are empty: the write is refused
// until the meter has been read again.
TEST_F(LocalStationSim, F12StraightAfterTheClearIsRefusedUntilTheMeterIsReadAgain)
{
    start();
    connect();
    write();
    ASSERT_EQ(p().SpinEdit_Number.value(), 0);
    EXPECT_FALSE(p().ActionSetting.execute() && engine().writePending(WriteKind::Settings));
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].text, S("Данные прибора ещё не прочитаны. Повторите запись."));
    settle();
    rig.op.boxes.clear();
    write();
    QString error;
    EXPECT_EQ(Noted(table.rowCount(), error), 2);
    for (const auto &record : records())
        EXPECT_EQ(record.toObject()[S("c_number")].toDouble(), 77881);
}

TEST_F(LocalStationSim, StartWithoutTheTableIsTheGeneralErrorReport)
{
    start(false);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_TRUE(rig.op.boxes[0].text.contains(S("Setting.DBF"))) << rig.op.boxes[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(table.path()));
}

} // namespace
} // namespace ordan::test
