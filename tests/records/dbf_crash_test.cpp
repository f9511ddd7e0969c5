// A station killed with SIGKILL during or right after an append: whatever the moment, the
// table stays valid, and a row whose append returned is on disk.
#include "dbf_test_files.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "support/result_checks.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

struct CrashCase {
    const char *stage;
    bool rowKept; // the killed append's row is counted
};

class DbfCrash : public ::testing::TestWithParam<CrashCase> {};

TEST_P(DbfCrash, LeavesAValidTable)
{
    const CrashCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(S("Setting.DBF"));
    QString error;
    ASSERT_TRUE(Succeeded(CreateSettingTable(path), error));
    DbfTable table(path);
    for (int n = 1; n <= 2; ++n)
        ASSERT_TRUE(Succeeded(table.append({{S("c_number"), n}, {S("date_rec"), QDate(2026, 12, 7)}}), error));

    QProcess child;
    child.start(BinPath(S("dbf_append_helper")), {path, S("77"), QString::fromLatin1(c.stage)});
    ASSERT_TRUE(child.waitForStarted(10000)) << child.errorString().toStdString();
    if (std::string_view(c.stage) == "returned") {
        QByteArray out;
        // The whole line, ended with LF, or CR LF on Windows.
        while (!out.contains('\n') && child.waitForReadyRead(20000))
            out += child.readAllStandardOutput();
        ASSERT_TRUE(out.trimmed() == "appended") << child.readAllStandardError().toStdString();
        child.kill(); // SIGKILL
    }
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().toStdString();

    // The header never counts a record that is not wholly there.
    const auto h = Noted(table.open(), error);
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_LE(h->headerLength + qint64(h->recordCount) * h->recordLength, QFileInfo(path).size());
    EXPECT_EQ(h->recordCount, c.rowKept ? 3u : 2u);
    EXPECT_EQ(Noted(table.rowCount(), error), c.rowKept ? 3 : 2);
    EXPECT_EQ(Noted(table.maxNumber(), error), QVariant(c.rowKept ? 77.0 : 2.0));

    // The independent reader ignores the count and reads up to the end-of-file mark: it
    // sees whole records only, the killed one at most once it was complete.
    const auto before = ReadWithDbfread(path, &error);
    ASSERT_TRUE(before) << error.toStdString();
    const QJsonArray seen = (*before)[S("records")].toArray();
    ASSERT_GE(seen.size(), 2);
    ASSERT_LE(seen.size(), 3);
    if (c.rowKept) {
        EXPECT_EQ(seen.size(), 3);
    }
    if (seen.size() == 3) {
        EXPECT_EQ(seen[2].toObject()[S("c_number")].toDouble(), 77.0);
        EXPECT_EQ(seen[2].toObject()[S("version")].toString(), S("5.12"));
    }

    // The table goes on.
    ASSERT_TRUE(Succeeded(table.append({{S("c_number"), 88}, {S("date_rec"), QDate(2026, 12, 8)}}), error))
        << error.toStdString();
    const auto after = ReadWithDbfread(path, &error);
    ASSERT_TRUE(after) << error.toStdString();
    const QJsonArray records = (*after)[S("records")].toArray();
    EXPECT_EQ((*after)[S("numrecords")].toInt(), c.rowKept ? 4 : 3);
    ASSERT_EQ(records.size(), c.rowKept ? 4 : 3);
    EXPECT_EQ(records.last().toObject()[S("c_number")].toDouble(), 88.0);
    EXPECT_EQ(Noted(table.latestDay(), error)->rows.size(), c.rowKept ? 2 : 1); // 77 and 88 share a day
}

INSTANTIATE_TEST_SUITE_P(Stages, DbfCrash,
                         ::testing::Values(CrashCase{"returned", true}, CrashCase{"header-counted", true},
                                           CrashCase{"record-active", false}, CrashCase{"record-written", false}),
                         [](const auto &info) {
                             std::string name = info.param.stage;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace ordan::test
