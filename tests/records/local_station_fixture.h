#pragma once

// The station in normal mode against the simulated meter (behind the rig's line) on virtual
// time, with the settings log wired as the station wires it.
#include "app/station_fixture.h"
#include "dbf_test_files.h"
#include "meter/meter_panel.h"
#include "records/dbf_table.h"
#include "records/local_create_command.h"
#include "records/local_log_view.h"
#include "records/local_recorder.h"
#include "records/setting_table.h"
#include "schedule/schedule_model.h"
#include "sim/meter_state.h"
#include "support/result_checks.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace ordan::test {

inline QString S(const char *text) { return QString::fromUtf8(text); }

class LocalStationSim : public ::testing::Test {
protected:
    LocalStationSim()
    {
        meter.state().statusWord = 0x0812;
        // The rig's meter passes every request on to the simulated meter and follows its
        // bus address.
        rig.meter.answer = [this](const QByteArray &request) {
            ++requests;
            std::optional<QByteArray> reply = meter.Answer(request);
            rig.meter.address = meter.state().busAddress;
            return reply;
        };
    }

    ~LocalStationSim() override { rig.station.reset(); }

    void start(bool withTable = true)
    {
        if (withTable) {
            QString error;
            ASSERT_TRUE(Succeeded(CreateSettingTable(table.path()), error)) << error.toStdString();
        }
        rig.table = &table;
        Station &s = rig.make();
        station = &s;
        view = s.localLog();
        s.FormCreate();
    }

    MeterParameters &p() { return station->meter().parameters(); }
    Engine &engine() { return station->engine(); }

    // Connected, and everything a record reads has been polled.
    void connect()
    {
        ASSERT_TRUE(station->ActionConnect.execute());
        settle();
    }
    void settle()
    {
        ASSERT_TRUE(rig.timers.advanceUntil(
            [this] {
                return !p().LabeledVersion.value().isEmpty() && !p().EditOff.value().isEmpty() &&
                       !p().LabeledNCorrect.value().isEmpty() && !p().GridValue_1.value()[3][1].isEmpty() &&
                       p().SpinEdit_Number.value() == 77881 && p().StatusWord > 0 && p().ActionSetting.isEnabled();
            },
            30000, 10));
    }
    void write()
    {
        ASSERT_TRUE(p().ActionSetting.execute());
        ASSERT_TRUE(
            rig.timers.advanceUntil([this] { return station->panel().Shape1.value() == Indicator::Green; }, 30000, 10));
        ASSERT_TRUE(rig.op.boxes.empty()) << rig.op.boxes[0].text.toStdString();
        ASSERT_TRUE(
            rig.timers.advanceUntil([this] { return station->panel().Shape1.value() == Indicator::Hidden; }, 5000, 10));
    }
    QJsonArray records()
    {
        QString error;
        const auto json = ReadWithDbfread(table.path(), &error);
        EXPECT_TRUE(json) << error.toStdString();
        return json ? (*json)[S("records")].toArray() : QJsonArray();
    }

    StationRig rig;
    SimulatedMeter meter{[this] { return rig.timers.now(); },
                         SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))};
    DbfTable table{DefaultSettingTablePath(rig.dir.path())};
    Station *station = nullptr;
    LocalLogView *view = nullptr;
    int requests = 0;
};

} // namespace ordan::test
