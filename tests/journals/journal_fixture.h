#pragma once

#include "core/virtual_timers.h"
#include "journals/xls_export_files.h"
#include "link/engine.h"
#include "link/fake_line.h"
#include "link/frame.h"
#include "sim/meter_endpoint.h"
#include "sim/meter_state.h"
#include "sim/simulated_line.h"
#include "support/test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

namespace ordan::test {

// The station's side of the engine, as far as the journals see it: accepted replies go to
// whatever the test wires up.
struct JournalHost final : EngineHost {
    void clearMeterData() override {}
    void recordProgramming() override { ++records; }
    void setWriteActionsEnabled(bool) override {}
    void setFindAddressEnabled(bool) override {}
    void replyAccepted(quint8 code) override
    {
        if (onReplyAccepted)
            onReplyAccepted(code);
    }
    void meterSilent() override {}
    std::function<void(quint8)> onReplyAccepted;
    int records = 0;
};

// An engine on virtual time over a fake line that nobody answers unless a test says so.
struct JournalEngine {
    VirtualTimers timers;
    FakeLine line{timers};
    FakeOperator op;
    FakeSystemFacts facts;
    JournalHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
};

// An engine on virtual time against the simulated meter, under a Russian locale.
struct JournalSimBench {
    const LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    VirtualTimers timers;
    SimulatedMeter meter{[this] { return timers.now(); },
                         SampleMeterState(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)))};
    MeterEndpoint endpoint{meter};
    SimulatedLine line{timers, endpoint};
    FakeOperator op;
    FakeSystemFacts facts;
    JournalHost host;
    ConnectionPanel linkPanel{timers};
    Engine engine{line, timers, op, host, linkPanel, [this] { return facts.now(); }};
    XlsExportFiles files;
};

// A reply frame: body and CRC.
inline QByteArray Frame(const QByteArray &body) { return AppendCrc(body); }

constexpr int kXlrdText = 1;
constexpr int kXlrdNumber = 2;

// The workbook as Debian's python3-xlrd reads it; a failed run fails the test.
inline QJsonObject ReadWithXlrd(const QString &file)
{
    QProcess python;
    StartPythonReader(python, {QString::fromUtf8(ORDAN_JOURNAL_XLS_SCRIPT), file});
    const bool finished = python.waitForFinished(120000);
    const QByteArray out = python.readAllStandardOutput();
    EXPECT_TRUE(finished && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    const QJsonObject result = QJsonDocument::fromJson(out).object();
    EXPECT_FALSE(result.isEmpty()) << "no report from xlrd";
    EXPECT_EQ(result.value(QStringLiteral("warnings")).toString(), QString()) << "xlrd complained";
    return result;
}

// A cell as xlrd reports it.
struct XlrdCell {
    int type = 0;
    QJsonValue value;
};

// Cells of one sheet by (row, column), counted from 0.
inline std::map<std::pair<int, int>, XlrdCell> SheetCells(const QJsonObject &book, int sheet = 0)
{
    std::map<std::pair<int, int>, XlrdCell> out;
    const QJsonObject s = book.value(QStringLiteral("sheets")).toArray().at(sheet).toObject();
    for (const QJsonValue &v : s.value(QStringLiteral("cells")).toArray()) {
        const QJsonArray c = v.toArray();
        out[{c[0].toInt(), c[1].toInt()}] = {c[2].toInt(), c[3]};
    }
    return out;
}

// Text of a text cell, the empty text included; a number or a missing cell fails the test.
inline QString TextAt(const std::map<std::pair<int, int>, XlrdCell> &cells, int row, int column)
{
    const auto it = cells.find({row, column});
    if (it == cells.end()) {
        ADD_FAILURE() << "no cell at row " << row << " column " << column;
        return {};
    }
    EXPECT_EQ(it->second.type, kXlrdText) << "row " << row << " column " << column;
    return it->second.value.toString();
}

} // namespace ordan::test
