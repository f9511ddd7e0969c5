// The station on its real serial path when the link goes down: the operator disconnects inside
// a write, or meter-sim, serving the pseudo-terminal behind a fixed link (as /dev/serial/by-id
// names an adapter), ends while the station polls or writes; a new meter-sim behind the same
// link plays the re-plugged adapter.
#include "meter/meter_panel.h"
#include "serial_station.h"

#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace ordan {
namespace {

std::unique_ptr<test::MeterSimProcess> StartSim(const QString &link, const QStringList &extra = {})
{
    auto sim =
        std::make_unique<test::MeterSimProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("9600")} + extra);
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

// The request frames among log lines, in order (engineering log).
QStringList FramesSent(const QStringList &lines)
{
    QStringList frames;
    for (const QString &line : lines) {
        const qsizetype at = line.indexOf(QStringLiteral(" Send "));
        if (at > 0 && line.size() > at + 9)
            frames << line.mid(at + 6).trimmed();
    }
    return frames;
}

QStringList FramesSent(const ExchangeLog &log)
{
    return FramesSent(QStringList(log.lines().begin(), log.lines().end()));
}

// The operator disconnects inside a write and connects again at once: in the 50 ms gap after
// the password was acknowledged (the clock frame next in line), and while the clock frame
// awaits its answer. The new connection starts with the version request, nothing of the write
// goes out again (the log lines are caught as they come: the start clears the log) and
// nothing is recorded.
TEST(SerialLoss, OperatorDisconnectInsideAWriteStartsAfresh)
{
    for (const bool inGap : {true, false}) {
        SCOPED_TRACE(inGap ? "gap before the clock frame" : "clock frame awaiting its answer");
        test::SerialStationParts parts;
        const QString link = parts.dir.filePath(QStringLiteral("ttyBENCH"));
        auto sim = StartSim(link, {QStringLiteral("--fault"), QStringLiteral("delay=600"),
                                   QStringLiteral("--fault-code"), QStringLiteral("5")});
        ASSERT_TRUE(sim);
        std::unique_ptr<Station> station = parts.start(link);
        int records = 0;
        QObject::connect(station.get(), &Station::programmingFinished, [&] { ++records; });
        Engine &engine = station->engine();
        engine.log().setEngineering(true);
        engine.log().CheckBox_Terminal.set(true);
        QStringList after;
        bool reconnected = false;
        QObject::connect(&engine.log(), &ExchangeLog::lineAdded, station.get(), [&](const QString &line) {
            if (reconnected)
                after << line;
        });

        station->ActionConnect.execute();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return station->ActionSetting().isEnabled() && station->meter().parameters().identityRead; }, 10000));
        bool disconnected = false;
        auto inClockGap = [&] {
            return engine.writePending(WriteKind::Settings) && ByteAt(engine.request(), 0) == 0x05 &&
                   engine.sendTimerEnabled() && !engine.awaitingReply();
        };
        // Each chunk of the password's answer is logged before it is judged; the check posted
        // from there runs once the chunk is handled, well inside the 50 ms before the next tick.
        std::function<void()> check = [&] {
            if (disconnected || !inGap)
                return;
            if (inClockGap()) {
                disconnected = true;
                station->ActionDisconnect.execute();
            }
        };
        QObject::connect(&engine.log(), &ExchangeLog::lineAdded, station.get(),
                         [&](const QString &) { QTimer::singleShot(0, station.get(), check); });
        station->ActionSetting().execute();
        if (inGap) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return disconnected; }, 10000));
        } else {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return engine.writePending(WriteKind::Settings) && ByteAt(engine.request(), 0) == 0x05 &&
                           engine.awaitingReply();
                },
                10000));
            station->ActionDisconnect.execute();
        }
        ASSERT_TRUE(station->ActionConnect.isEnabled());
        reconnected = true;
        station->ActionConnect.execute();
        ASSERT_TRUE(QTest::qWaitFor([&] { return engine.sendCount() >= 6; }, 10000));
        const QStringList frames = FramesSent(after);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames.front(), QStringLiteral("00 02 80 71"));
        for (const QString &frame : frames)
            EXPECT_FALSE(frame.startsWith(QStringLiteral("05 ")) || frame.startsWith(QStringLiteral("14 ")))
                << frame.toStdString();
        QTest::qWait(700); // past the late answer to an abandoned clock frame
        EXPECT_EQ(records, 0);
        EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Hidden);
        EXPECT_TRUE(parts.op.boxes.empty());
        station->ActionDisconnect.execute();
    }
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
        QObject::connect(station.get(), &Station::programmingFinished, [&] { ++records; });
        Engine &engine = station->engine();
        // Every byte logged, so that the first request of the new connection shows.
        engine.log().setEngineering(true);
        engine.log().CheckBox_Terminal.set(true);

        station->ActionConnect.execute();
        ASSERT_FALSE(station->ActionConnect.isEnabled());
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return station->ActionSetting().isEnabled() && engine.sendCount() >= 3; }, 10000));
        if (writing) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return station->meter().parameters().identityRead; }, 10000));
            station->ActionSetting().execute();
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return engine.writePending(WriteKind::Settings) && ByteAt(engine.request(), 0) == 0x05; }, 10000))
                << engine.log().lines().back().toStdString() << " " << engine.writePending(WriteKind::Settings) << " "
                << test::Hex(engine.request()).toStdString() << " boxes " << parts.op.boxes.size();
        }

        sim.reset(); // the far side closes
        ASSERT_TRUE(QTest::qWaitFor([&] { return station->ActionConnect.isEnabled(); }, 5000)) << "the loss is noticed";
        const QString lost = QStringLiteral("Связь потеряна: ") + link;
        EXPECT_EQ(engine.panel().StatusPanel1.value(), lost);
        EXPECT_EQ(LinesEqualTo(engine.log(), lost), 1);
        EXPECT_FALSE(station->ActionDisconnect.isEnabled());
        EXPECT_FALSE(engine.isConnected());
        EXPECT_EQ(records, 0);
        if (writing) {
            EXPECT_EQ(engine.panel().Shape1.value(), Indicator::Red);
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
        const QStringList frames = FramesSent(engine.log());
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames.front(), QStringLiteral("00 02 80 71")) << "first request";
        EXPECT_EQ(records, 0);
        station->ActionDisconnect.execute();
        station.reset();
    }
}

} // namespace
} // namespace ordan
