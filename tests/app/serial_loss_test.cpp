// The port goes away under the station on its real serial path: meter-sim, serving the
// pseudo-terminal behind a fixed link (as /dev/serial/by-id names an adapter), ends while the
// station polls or writes; a new meter-sim behind the same link plays the re-plugged adapter.
#include "meter/meter_panel.h"
#include "serial_station.h"

#include <QFile>
#include <gtest/gtest.h>

namespace ordan
{
namespace
{

std::unique_ptr<test::MeterSimProcess> StartSim(const QString &link, const QStringList &extra = {})
{
    auto sim = std::make_unique<test::MeterSimProcess>(
        QStringList{QStringLiteral("--baud"), QStringLiteral("9600")} + extra);
    if (sim->device().isEmpty())
        return nullptr;
    QFile::remove(link);
    if (!QFile::link(sim->device(), link))
        return nullptr;
    return sim;
}

int LinesEqualTo(const ExchangeLog &log, const QString &text)
{
    int n = 0;
    for (const QString &line : log.lines())
        n += line == text;
    return n;
}

TEST(SerialLoss, FarSideClosedUnderPollingAndUnderAWrite)
{
    for (const bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "writing" : "polling");
        test::SerialStationParts parts;
        const QString link = parts.dir.filePath(QStringLiteral("ttyBENCH"));
        // A slow answer to the clock frame keeps the write under way long enough to pull the
        // port from under it.
        auto sim = StartSim(link, {QStringLiteral("--fault"), QStringLiteral("delay=600"),
                                   QStringLiteral("--fault-code"), QStringLiteral("5")});
        ASSERT_TRUE(sim);
        std::unique_ptr<Station> station = parts.start(link);
        int records = 0;
        station->onRecordProgramming = [&] { ++records; };
        Engine &engine = station->engine();
        // Every byte logged, so that the first request of the new connection shows.
        engine.log().setEngineering(true);
        engine.log().CheckBox_Terminal.set(true);

        station->ActionConnect.execute();
        ASSERT_FALSE(station->ActionConnect.isEnabled());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return station->ActionSetting().isEnabled() && engine.sendCount() >= 3; }, 10000));
        if (writing) {
            station->ActionSetting().execute();
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return engine.SettingsWritePending && ByteAt(engine.request(), 0) == 0x05; }, 10000))
                << engine.log().lines().back().toStdString() << " " << engine.SettingsWritePending << " "
                << test::Hex(engine.request()).toStdString() << " boxes " << parts.op.boxes.size();
        }

        sim.reset(); // the far side closes
        ASSERT_TRUE(QTest::qWaitFor([&] { return station->ActionConnect.isEnabled(); }, 5000))
            << "the loss is noticed";
        const QString lost = QStringLiteral("Связь потеряна: ") + link;
        EXPECT_EQ(engine.StatusPanel1.value(), lost);
        EXPECT_EQ(LinesEqualTo(engine.log(), lost), 1);
        EXPECT_FALSE(station->ActionDisconnect.isEnabled());
        EXPECT_FALSE(engine.isConnected());
        EXPECT_EQ(records, 0);
        if (writing) {
            EXPECT_EQ(engine.Shape1.value(), Indicator::Red);
            ASSERT_EQ(parts.op.boxes.size(), 1u);
            EXPECT_EQ(parts.op.boxes[0].text, Engine::WriteErrorText());
            parts.op.closeBox();
        } else {
            EXPECT_TRUE(parts.op.boxes.empty());
        }

        // Idle: nothing sent, nothing logged, no exchange timer running.
        const qint32 sent = engine.sendCount();
        const qsizetype lines = engine.log().lineCount();
        QTest::qWait(1500);
        EXPECT_EQ(engine.sendCount(), sent);
        EXPECT_EQ(engine.log().lineCount(), lines);
        EXPECT_FALSE(engine.sendTimerEnabled());
        EXPECT_FALSE(engine.awaitingReply());
        EXPECT_EQ(records, 0);

        // The adapter comes back under the same name.
        auto again = StartSim(link);
        ASSERT_TRUE(again);
        station->ActionConnect.execute();
        ASSERT_FALSE(station->ActionConnect.isEnabled()) << parts.op.boxes.back().text.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 3; }, 10000));
        bool first = true;
        for (const QString &line : engine.log().lines()) {
            const qsizetype at = line.indexOf(QStringLiteral(" Send "));
            if (at > 0 && line.size() > at + 9) {
                EXPECT_EQ(line.mid(at + 6).trimmed(), QStringLiteral("00 02 80 71")) << "first request";
                first = false;
                break;
            }
        }
        EXPECT_FALSE(first);
        EXPECT_EQ(records, 0);
        station->ActionDisconnect.execute();
        station.reset();
    }
}

} // namespace
} // namespace ordan
