// Setting.DBF in a working folder that several stations share, and on a full disk: every
// append that reports success is there, the table stays valid for python3-dbfread, a
// failed append leaves the table as it was and says why.
#include "dbf_test_files.h"
#include "header_lock_holder.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "support/result_checks.h"
#include "support/small_disk.h"
#include "support/test_support.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

LocalRow Row(int number)
{
    return {{S("c_number"), number}, {S("date_rec"), QDate(2026, 12, 8)}, {S("version"), S("5.12")}};
}

// Starts one appending station per number, all waiting for "go"; then lets them all go at once.
void AppendFromProcesses(const QString &path, int first, int count)
{
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int n = first; n < first + count; ++n) {
        auto p = std::make_unique<QProcess>();
        p->start(BinPath(S("dbf_append_helper")), {path, QString::number(n), S("on-go")});
        ASSERT_TRUE(p->waitForStarted(20000)) << p->errorString().toStdString();
        stations.push_back(std::move(p));
    }
    // Written through at once: QProcess would otherwise pass each "go" on only while the test
    // waits for that very station, and the stations would append one after another.
    for (auto &p : stations) {
        p->write("go\n");
        ASSERT_TRUE(p->waitForBytesWritten(20000));
    }
    for (auto &p : stations) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        // Trimmed: a Windows helper ends its line with CR LF.
        EXPECT_EQ(p->readAllStandardOutput().trimmed(), QByteArray("appended"));
    }
}

class DbfShared : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(S("Setting.DBF"));
        QString error;
        ASSERT_TRUE(Succeeded(CreateSettingTable(path), error)) << error.toStdString();
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(DbfShared, ThirtyStationsAppendingAtOnceKeepEveryRow)
{
    AppendFromProcesses(path, 1, 30);

    QString error;
    const auto h = Noted(DbfTable(path).open(), error);
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_EQ(h->recordCount, 30u);
    EXPECT_EQ(QFileInfo(path).size(), h->headerLength + 30 * h->recordLength + 1);

    const auto json = ReadWithDbfread(path, &error);
    ASSERT_TRUE(json) << error.toStdString();
    EXPECT_EQ((*json)[S("numrecords")].toInt(), 30);
    const QJsonArray records = (*json)[S("records")].toArray();
    ASSERT_EQ(records.size(), 30);
    std::set<int> numbers;
    for (const auto &r : records) {
        numbers.insert(r.toObject()[S("c_number")].toInt());
        EXPECT_EQ(r.toObject()[S("version")].toString(), S("5.12"));
    }
    EXPECT_EQ(numbers.size(), 30u);
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), 30);
}

TEST_F(DbfShared, AReaderHoldingTheTableOpenKeepsReadingWhileOthersAppend)
{
    QString error;
    DbfTable table(path);
    ASSERT_TRUE(Succeeded(table.append(Row(100)), error)) << error.toStdString();

    // A browser of another station: the file stays open, read again as it grows.
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    for (int round = 0; round < 3; ++round) {
        AppendFromProcesses(path, 1 + 10 * round, 10);
        ASSERT_TRUE(reader.seek(0));
        const QByteArray bytes = reader.readAll();
        const auto h = dbf::ParseHeader(bytes);
        error = h.error();
        ASSERT_TRUE(h) << error.toStdString();
        EXPECT_EQ(h->recordCount, 1u + 10u * (round + 1));
        EXPECT_EQ(bytes.size(), h->headerLength + qint64(h->recordCount) * h->recordLength + 1);
        EXPECT_EQ(bytes.back(), dbf::kEndOfFile);
        EXPECT_EQ(Noted(table.rowCount(), error), 1 + 10 * (round + 1)) << error.toStdString();
    }
    // The reader's open handle does not stand in the way of this station's own append.
    ASSERT_TRUE(Succeeded(table.append(Row(200)), error)) << error.toStdString();
    EXPECT_EQ(Noted(table.rowCount(), error), 32);
}

TEST_F(DbfShared, AnAppendWaitsForTheLockOnlySoLongAndThenSaysWhy)
{
    // Another program is in the middle of an append: it holds the dBase header lock.
    HeaderLockHolder holder(path, 0x7FFFFFFE);
    ASSERT_TRUE(holder.held());

    const QByteArray before = ReadFile(path);
    DbfTable table(path);
    table.setLockTimeout(300);
    QString error;
    EXPECT_FALSE(Succeeded(table.append(Row(1)), error));
    EXPECT_TRUE(error.contains(S("таблица занята"))) << error.toStdString();
    EXPECT_EQ(ReadFile(path), before);

    holder.release(); // the other append is over
    ASSERT_TRUE(Succeeded(table.append(Row(1)), error)) << error.toStdString();
    EXPECT_EQ(Noted(table.rowCount(), error), 1);
}

// An append to a full disk: the box's reason names the failure, the header still counts
// only the rows that are there, python3-dbfread reads the old table, and once there is room
// again the next append goes through.
TEST(DbfFullDisk, AFailedAppendLeavesTheTableAsItWas)
{
    SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString path = disk.filePath(S("Setting.DBF"));
    QString error;
    ASSERT_TRUE(Succeeded(CreateSettingTable(path), error)) << error.toStdString();
    DbfTable table(path);
    // Rows up to the end of a page, so the next one needs a page the full disk cannot give.
    int rows = 0;
    for (;;) {
        const auto h = Noted(table.open(), error);
        ASSERT_TRUE(h) << error.toStdString();
        const qint64 size = QFileInfo(path).size();
        if (size % 4096 + h->recordLength > 4096)
            break;
        ASSERT_TRUE(Succeeded(table.append(Row(++rows)), error)) << error.toStdString();
    }
    ASSERT_TRUE(disk.fill(0));
    const QByteArray before = ReadFile(path);

    EXPECT_FALSE(Succeeded(table.append(Row(999)), error));
    EXPECT_TRUE(error.contains(S("ошибка записи"))) << error.toStdString();
    const QByteArray after = ReadFile(path);
    EXPECT_EQ(after.left(before.size()), before); // header and rows as they were
    EXPECT_EQ(Noted(table.rowCount(), error), rows);
    auto json = ReadWithDbfread(path, &error);
    ASSERT_TRUE(json) << error.toStdString();
    EXPECT_EQ((*json)[S("records")].toArray().size(), rows);

    ASSERT_TRUE(disk.emptyFiller());
    ASSERT_TRUE(Succeeded(table.append(Row(1000)), error)) << error.toStdString();
    json = ReadWithDbfread(path, &error);
    ASSERT_TRUE(json) << error.toStdString();
    const QJsonArray records = (*json)[S("records")].toArray();
    ASSERT_EQ(records.size(), rows + 1);
    EXPECT_EQ(records.last().toObject()[S("c_number")].toInt(), 1000);
}

TEST(DbfFullDisk, CreatingTheTableOnAFullDiskLeavesNoFile)
{
    SmallDisk disk(64);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    ASSERT_TRUE(disk.fill(0));
    const QString path = disk.filePath(S("Setting.DBF"));
    QString error;
    EXPECT_FALSE(Succeeded(CreateSettingTable(path), error));
    EXPECT_TRUE(error.contains(S("ошибка записи"))) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

} // namespace
} // namespace ordan::test
