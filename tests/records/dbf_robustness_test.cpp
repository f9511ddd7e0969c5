// Damaged files: every truncation and random mutations of valid tables give an answer or
// an error, never a crash or a read out of bounds (run under the sanitizer build too).
#include "dbf_test_files.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "support/result_checks.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

struct Outcome {
    bool allOk = true;
    bool anyOk = false;
};

// Runs every operation; each either succeeds or says why not.
Outcome Exercise(const QString &path)
{
    DbfTable table(path);
    Outcome o;
    auto check = [&](bool ok, const QString &error) {
        if (ok) {
            o.anyOk = true;
        } else {
            o.allOk = false;
            EXPECT_FALSE(error.isEmpty());
        }
    };
    QString error;
    const auto header = Noted(table.open(), error);
    check(header.ok(), error);
    error.clear();
    const auto count = Noted(table.rowCount(), error);
    check(count.ok(), error);
    if (count && header) {
        EXPECT_LE(*count, static_cast<qsizetype>(header->recordCount));
    }
    error.clear();
    const auto rows = table.select({QDate(1, 1, 1), QDate(9999, 12, 31), 0});
    error = rows.error();
    check(rows.ok(), error);
    if (rows && count) {
        EXPECT_LE(rows->size(), *count);
    }
    error.clear();
    check(Noted(table.maxNumber(), error).ok(), error);
    error.clear();
    check(Noted(table.latestDay(), error).ok(), error);
    error.clear();
    const bool appended = Succeeded(table.append({{S("c_number"), 42},
                                                  {S("date_rec"), QDate(2026, 12, 8)},
                                                  {S("version"), S("5.1")},
                                                  {S("summer"), true},
                                                  {S("zone_0"), QVariant()}}),
                                    error);
    if (!appended) {
        EXPECT_FALSE(error.isEmpty());
    }
    if (appended && count) {
        error.clear();
        const auto after = Noted(table.rowCount(), error);
        EXPECT_TRUE(after) << error.toStdString();
        EXPECT_GE(after.valueOr(0), 1);
    }
    return o;
}

class DbfRobustness : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString setting = dir.filePath(S("seed.dbf"));
        QString error;
        ASSERT_TRUE(Succeeded(CreateSettingTable(setting), error));
        DbfTable table(setting);
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(Succeeded(table.append({{S("c_number"), 100 + i},
                                                {S("date_rec"), QDate(2026, 12, 1 + i)},
                                                {S("t_1_c"), 1.5 * i},
                                                {S("summer"), i % 2 == 0},
                                                {S("c_time"), S("10:15")}}),
                                  error));
        }
        seeds.append(ReadFile(setting));
        const QDate zero(1899, 12, 30);
        const QList<RawField> fields{{"C_NUMBER", 'N', 10}, {"DATE_REC", 'D', 8}, {"ZONE_0", 'I', 4},
                                     {"TIME_0", '@', 8},    {"NOTE", 'M', 10},    {"TIME_1", 'T', 8}};
        QList<QByteArray> records;
        for (int i = 0; i < 3; ++i)
            records.append(QByteArray(" ") + RightAligned(QByteArray::number(i), 10) + "20261207" + Level7Int(i) +
                           Level7Timestamp(zero, 3600000 * i) + QByteArray(10, ' ') + QByteArray(8, '\0'));
        seeds.append(LayOutTable(0x8C, true, fields, records));
    }

    QString write(const QByteArray &bytes)
    {
        const QString path = dir.filePath(S("case%1.dbf").arg(next++));
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }

    QTemporaryDir dir;
    QList<QByteArray> seeds;
    int next = 0;
};

TEST_F(DbfRobustness, SeedsAreValid)
{
    for (const QByteArray &seed : seeds)
        EXPECT_TRUE(Exercise(write(seed)).allOk);
}

TEST_F(DbfRobustness, EveryTruncation)
{
    for (const QByteArray &seed : seeds) {
        QString error;
        const auto header = dbf::ParseHeader(seed);
        error = header.error();
        ASSERT_TRUE(header);
        // Every cut in the header; in the records, enough to cut each field somewhere (appends
        // flush to disk and take their time).
        for (qsizetype size = 0; size < seed.size(); size += size < header->headerLength + 8 ? 1 : 5) {
            const Outcome o = Exercise(write(seed.first(size)));
            if (size < header->headerLength)
                EXPECT_FALSE(o.anyOk) << "cut at " << size;
            else
                EXPECT_TRUE(o.allOk) << "cut at " << size; // whole records still read
        }
    }
}

TEST_F(DbfRobustness, RandomMutations)
{
    std::mt19937 random(20261208);
    int failed = 0;
    int passed = 0;
    for (int round = 0; round < 1000; ++round) {
        QByteArray bytes = seeds[round % seeds.size()];
        QString error;
        const int headerLength = Noted(dbf::ParseHeader(bytes), error)->headerLength;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < changes; ++c) {
            // Mostly the header, where a wrong byte misleads the most.
            const qsizetype limit = random() % 3 ? std::min<qsizetype>(headerLength, bytes.size()) : bytes.size();
            const qsizetype at = static_cast<qsizetype>(random() % static_cast<quint64>(limit));
            switch (random() % 4) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8))); break;
            case 2:
                bytes[at] = static_cast<char>(std::array<int, 6>{0x00, 0xFF, 0x0D, 0x1A, '*', ' '}[random() % 6]);
                break;
            default:
                if (random() % 2)
                    bytes.truncate(static_cast<qsizetype>(random() % bytes.size()) + 1);
                else
                    bytes.append(QByteArray(static_cast<qsizetype>(random() % 300), static_cast<char>(random())));
                break;
            }
            if (bytes.isEmpty())
                break;
        }
        const Outcome o = Exercise(write(bytes));
        (o.allOk ? passed : failed) += 1;
        QFile::remove(dir.filePath(S("case%1.dbf").arg(next - 1)));
    }
    // Both kinds happen, or the mutations are not reaching the checks.
    EXPECT_GT(failed, 100);
    EXPECT_GT(passed, 100);
}

TEST_F(DbfRobustness, GarbageInsideRecordsReadsAsNull)
{
    QByteArray bytes = seeds[0];
    QString error;
    const auto h = dbf::ParseHeader(bytes);
    error = h.error();
    ASSERT_TRUE(h);
    const qsizetype record = h->headerLength;
    for (const char *name : {"c_number", "date_rec", "summer", "t_1_c"}) {
        const dbf::Field &f = h->fields[h->indexOf(QString::fromLatin1(name))];
        for (int i = 0; i < f.length; ++i)
            bytes[record + f.offset + i] = '#';
    }
    const QString path = write(bytes);
    const auto rows = Noted(DbfTable(path).select({QDate(2026, 12, 1), QDate(2026, 12, 31), 0}), error);
    ASSERT_TRUE(rows) << error.toStdString();
    EXPECT_EQ(rows->size(), 3); // the spoiled row has no date_rec any more
    const auto count = Noted(DbfTable(path).rowCount(), error);
    EXPECT_EQ(count, 4);
}

} // namespace
} // namespace ordan::test
