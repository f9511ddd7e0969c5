// The settings log on real files, read back by python3-dbfread and by shapelib.
#include "dbf_test_files.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "support/result_checks.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#if defined(ORDAN_HAVE_SHAPELIB)
#include <shapefil.h>
#endif

#include <algorithm>
#include <cstdlib>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

class DbfTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString pathOf(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QString createSetting()
    {
        const QString path = pathOf("Setting.DBF");
        QString error;
        EXPECT_TRUE(Succeeded(CreateSettingTable(path), error)) << error.toStdString();
        return path;
    }

    static QJsonObject Dbfread(const QString &path, bool level7 = false)
    {
        QString error;
        const auto json = ReadWithDbfread(path, &error, level7);
        EXPECT_TRUE(json) << error.toStdString();
        return json.value_or(QJsonObject());
    }

    QTemporaryDir dir;
};

// A row as RecordLocal fills it after a settings write with the clock set.
LocalRow TypicalRow()
{
    return {
        {S("c_number"), 1234},
        {S("version"), S("5.12")},
        {S("address"), 17},
        {S("turn_on"), 987654},
        {S("status"), 32768},
        {S("c_date"), QDate(2026, 12, 8)},
        {S("c_time"), S("10:15")},
        {S("summer"), true},
        {S("correct"), QVariant()},
        {S("pass"), 777},
        {S("t_1_1"), QVariant()},
        {S("t_1_c"), 1234.56789},
        {S("t_2_1"), QVariant()},
        {S("t_2_c"), 0.00025},
        {S("t_3_1"), QVariant()},
        {S("t_3_c"), QVariant()},
        {S("ddm_a"), 16777215},
        {S("ddm_b"), 1},
        {S("ddm_c"), 0},
        {S("count_day"), 1},
        {S("count_hour"), QVariant()},
        {S("reset"), false},
        {S("report"), false},
        {S("date_rec"), QDate(2026, 12, 8)},
        {S("time_rec"), S("10:16")},
        {S("ncorrect"), 3},
        {S("indicator"), 5},
    };
}

TEST_F(DbfTableTest, CreatedTableHasTheColumnsAndTypes)
{
    const QString path = createSetting();
    const QJsonObject t = Dbfread(path);
    EXPECT_EQ(t[S("dbversion")].toInt(), 3);
    EXPECT_EQ(t[S("numrecords")].toInt(), 0);
    EXPECT_EQ(t[S("date")].toString(), QDate::currentDate().toString(Qt::ISODate));
    const QJsonArray fields = t[S("fields")].toArray();
    ASSERT_EQ(fields.size(), static_cast<qsizetype>(kSettingColumns.size()));
    for (size_t i = 0; i < kSettingColumns.size(); ++i) {
        const QJsonObject f = fields[static_cast<qsizetype>(i)].toObject();
        const SettingColumn &c = kSettingColumns[i];
        EXPECT_EQ(f[S("name")].toString(), ColumnName(c));
        EXPECT_EQ(f[S("type")].toString(), QString(QLatin1Char(c.dbfType))) << c.name;
        EXPECT_EQ(f[S("length")].toInt(), c.length) << c.name;
        EXPECT_EQ(f[S("decimals")].toInt(), c.decimals) << c.name;
    }
    EXPECT_EQ(ReadFile(path).back(), '\x1A');
}

TEST_F(DbfTableTest, CreateNeverOverwrites)
{
    const QString path = pathOf("Setting.DBF");
    ASSERT_TRUE(WriteFile(path, "not a table"));
    QString error;
    EXPECT_FALSE(Succeeded(CreateSettingTable(path), error));
    EXPECT_TRUE(error.contains(S("уже существует"))) << error.toStdString();
    EXPECT_EQ(ReadFile(path), QByteArray("not a table"));

    const QString other = pathOf("Other.DBF");
    ASSERT_TRUE(Succeeded(CreateSettingTable(other), error));
    const QByteArray before = ReadFile(other);
    ASSERT_TRUE(Succeeded(DbfTable(other).append(TypicalRow()), error)) << error.toStdString();
    EXPECT_FALSE(Succeeded(CreateSettingTable(other), error));
    EXPECT_EQ(Noted(DbfTable(other).rowCount(), error), 1);
    EXPECT_NE(ReadFile(other), before);
}

TEST_F(DbfTableTest, CreateInAMissingFolderGivesTheReason)
{
    QString error;
    EXPECT_FALSE(Succeeded(CreateSettingTable(pathOf("no/such/folder/Setting.DBF")), error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(DbfTableTest, AppendedRowReadsBackWithValuesAndNulls)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error)) << error.toStdString();

    const QJsonObject t = Dbfread(path);
    ASSERT_EQ(t[S("records")].toArray().size(), 1);
    const QJsonObject r = t[S("records")].toArray()[0].toObject();
    EXPECT_EQ(r[S("c_number")].toDouble(), 1234.0);
    EXPECT_EQ(r[S("version")].toString(), S("5.12"));
    EXPECT_EQ(r[S("address")].toInt(), 17);
    EXPECT_EQ(r[S("turn_on")].toDouble(), 987654.0);
    EXPECT_EQ(r[S("status")].toDouble(), 32768.0);
    EXPECT_EQ(r[S("c_date")].toString(), S("2026-12-08"));
    EXPECT_EQ(r[S("c_time")].toString(), S("10:15"));
    EXPECT_EQ(r[S("summer")].toBool(), true);
    EXPECT_TRUE(r[S("correct")].isNull());
    EXPECT_EQ(r[S("pass")].toDouble(), 777.0);
    EXPECT_DOUBLE_EQ(r[S("t_1_c")].toDouble(), 1234.56789);
    EXPECT_DOUBLE_EQ(r[S("t_2_c")].toDouble(), 0.00025);
    for (const char *blank : {"t_3_c", "t_1_1", "t_2_1", "t_3_1", "count_hour"})
        EXPECT_TRUE(r[S(blank)].isNull()) << blank;
    EXPECT_EQ(r[S("ddm_a")].toDouble(), 16777215.0);
    EXPECT_EQ(r[S("ddm_c")].toDouble(), 0.0);
    EXPECT_FALSE(r[S("ddm_c")].isNull());
    EXPECT_EQ(r[S("count_day")].toInt(), 1);
    EXPECT_EQ(r[S("reset")].toBool(true), false);
    EXPECT_FALSE(r[S("reset")].isNull());
    EXPECT_EQ(r[S("report")].toBool(true), false);
    EXPECT_EQ(r[S("date_rec")].toString(), S("2026-12-08"));
    EXPECT_EQ(r[S("time_rec")].toString(), S("10:16"));
    EXPECT_EQ(r[S("ncorrect")].toInt(), 3);
    EXPECT_EQ(r[S("indicator")].toInt(), 5);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(r[S("zone_%1").arg(i)].isNull());
        EXPECT_TRUE(r[S("time_%1").arg(i)].toString().isEmpty()); // dbfread gives blank text as ""
    }

    // And the station reads the same, in the columns' own types.
    const auto rows = table.select({QDate(2026, 12, 8), QDate(2026, 12, 8), 1234});
    error = rows.error();
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows->size(), 1);
    const LocalRow &own = rows->front();
    EXPECT_EQ(own.value(S("c_number")), QVariant(1234.0));
    EXPECT_EQ(own.value(S("address")), QVariant(17));
    EXPECT_EQ(own.value(S("summer")), QVariant(true));
    EXPECT_EQ(own.value(S("c_date")), QVariant(QDate(2026, 12, 8)));
    EXPECT_EQ(own.value(S("t_1_c")), QVariant(1234.56789));
    EXPECT_FALSE(own.value(S("correct")).isValid());
    EXPECT_FALSE(own.value(S("t_3_c")).isValid());
    EXPECT_FALSE(own.value(S("zone_0")).isValid());
}

TEST_F(DbfTableTest, LogicalTrueFalseNull)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    const QList<QVariant> values{true, false, QVariant()};
    for (const QVariant &v : values)
        ASSERT_TRUE(Succeeded(table.append({{S("summer"), v}, {S("date_rec"), QDate(2026, 1, 2)}}), error));
    const QJsonArray records = Dbfread(path)[S("records")].toArray();
    ASSERT_EQ(records.size(), 3);
    EXPECT_TRUE(records[0].toObject()[S("summer")].toBool());
    EXPECT_FALSE(records[1].toObject()[S("summer")].toBool(true));
    EXPECT_FALSE(records[1].toObject()[S("summer")].isNull());
    EXPECT_TRUE(records[2].toObject()[S("summer")].isNull());

    const auto rows = table.select({QDate(2026, 1, 2), QDate(2026, 1, 2), 0});

    error = rows.error();
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3);
    EXPECT_EQ(SumerCorrectText(rows->at(0).value(S("summer"))), S("да"));
    EXPECT_EQ(SumerCorrectText(rows->at(1).value(S("summer"))), S("нет"));
    EXPECT_EQ(SumerCorrectText(rows->at(2).value(S("summer"))), QString());
}

TEST_F(DbfTableTest, NumbersWithDecimals)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    const QList<double> readings{0.00025, 274877906.944, 12.5, 0.0, 99999999999999.0};
    for (double v : readings)
        ASSERT_TRUE(Succeeded(table.append({{S("t_1_c"), v}, {S("date_rec"), QDate(2026, 1, 2)}}), error)) << v;
    const QJsonArray records = Dbfread(path)[S("records")].toArray();
    ASSERT_EQ(records.size(), readings.size());
    for (qsizetype i = 0; i < readings.size(); ++i)
        EXPECT_DOUBLE_EQ(records[i].toObject()[S("t_1_c")].toDouble(), readings[i]);

    // A number the column cannot hold is refused, and nothing changes on disk.
    const QByteArray before = ReadFile(path);
    EXPECT_FALSE(Succeeded(table.append({{S("c_number"), 1e13}}), error));
    EXPECT_TRUE(error.contains(S("c_number"))) << error.toStdString();
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(DbfTableTest, EveryAppendUpdatesCountDateAndEndMark)
{
    const QString path = createSetting();
    DbfTable table(path);
    const auto header = table.open();
    ASSERT_TRUE(header);
    QString error;
    for (int n = 1; n <= 3; ++n) {
        const QDate before = QDate::currentDate();
        ASSERT_TRUE(Succeeded(table.append({{S("c_number"), n}}), error));
        const QByteArray bytes = ReadFile(path);
        EXPECT_EQ(bytes.size(), header->headerLength + n * header->recordLength + 1);
        EXPECT_EQ(bytes.back(), '\x1A');
        EXPECT_EQ(static_cast<quint8>(bytes[4]), n);
        EXPECT_EQ(bytes.mid(5, 3), QByteArray(3, '\0'));
        const QDate stamped(1900 + static_cast<quint8>(bytes[1]), bytes[2], bytes[3]);
        EXPECT_TRUE(stamped == before || stamped == QDate::currentDate());
    }
    EXPECT_EQ(Noted(table.maxNumber(), error), QVariant(3.0));
}

TEST_F(DbfTableTest, QueriesOfThePage)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    EXPECT_FALSE(Noted(table.maxNumber(), error)->isValid());
    EXPECT_FALSE(Noted(table.latestDay(), error)->date.isValid());
    EXPECT_EQ(Noted(table.rowCount(), error), 0);

    struct R {
        int number;
        QDate date;
        int indicator;
    };
    const QList<R> rows{{10, QDate(2026, 12, 6), 1},
                        {12, QDate(2026, 12, 8), 2},
                        {11, QDate(2026, 12, 8), 3},
                        {9, QDate(2026, 12, 7), 4}};
    for (const R &r : rows)
        ASSERT_TRUE(Succeeded(
            table.append({{S("c_number"), r.number}, {S("date_rec"), r.date}, {S("indicator"), r.indicator}}), error));
    EXPECT_EQ(Noted(table.rowCount(), error), 4);
    EXPECT_EQ(Noted(table.maxNumber(), error), QVariant(12.0));
    const auto latest = Noted(table.latestDay(), error);
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->date, QDate(2026, 12, 8));
    ASSERT_EQ(latest->rows.size(), 2);
    EXPECT_EQ(latest->rows[0].value(S("indicator")), QVariant(2)); // first of that day in stored order
    EXPECT_EQ(Noted(table.select({QDate(2026, 12, 7), QDate(2026, 12, 8), 0}), error)->size(), 3);
    EXPECT_EQ(Noted(table.select({QDate(2026, 12, 7), QDate(2026, 12, 8), 11}), error)->size(), 1);
    EXPECT_EQ(Noted(table.select({QDate(2026, 12, 8), QDate(2026, 12, 7), 0}), error)->size(), 0);
}

// A table made by an older engine: columns in another order and case, extra columns,
// zone times as text and as a FoxPro date-time, a deleted record.
TEST_F(DbfTableTest, ReadsAndAppendsToATableInAnotherLayout)
{
    const QString path = pathOf("Setting.DBF");
    const QList<RawField> fields{
        {"NOTE", 'C', 10},    {"DATE_REC", 'D', 8}, {"Zone_0", 'N', 2},    {"time_0", 'C', 8},
        {"ZONE_1", 'N', 2},   {"TIME_1", 'T', 8},   {"INDICATOR", 'N', 4}, {"C_NUMBER", 'N', 10},
        {"EXTRA", 'N', 5, 2}, {"SUMMER", 'L', 1},   {"VERSION", 'C', 5},   {"MEMO", 'M', 10},
    };
    const QByteArray foxTime("\xab\xd9\x24\x00\x80\xa8\x12\x01", 8); // 1899-12-30 (JD 2415019) 05:00
    const QByteArray kept = QByteArray(" ") + Padded("keep me", 10) + "20261207" + RightAligned("2", 2) +
                            Padded("07:30", 8) + RightAligned("1", 2) + foxTime + RightAligned("15", 4) +
                            RightAligned("500", 10) + RightAligned("1.25", 5) + "T" + Padded("4.1", 5) +
                            RightAligned("3", 10);
    QByteArray deleted = kept;
    deleted[0] = '*';
    deleted.replace(QByteArray("20261207"), QByteArray("20261231"));
    ASSERT_TRUE(WriteFile(path, LayOutTable(0x03, false, fields, {kept, deleted})));

    DbfTable table(path);
    QString error;
    const auto latest = Noted(table.latestDay(), error);
    ASSERT_TRUE(latest) << error.toStdString();
    EXPECT_EQ(latest->date, QDate(2026, 12, 7)); // the deleted row does not count
    ASSERT_EQ(latest->rows.size(), 1);
    const LocalRow &r = latest->rows[0];
    EXPECT_EQ(r.value(S("zone_0")), QVariant(2));
    EXPECT_EQ(r.value(S("time_0")), QVariant(QTime(7, 30)));
    EXPECT_EQ(r.value(S("zone_1")), QVariant(1));
    EXPECT_EQ(r.value(S("time_1")), QVariant(QTime(5, 0)));
    EXPECT_EQ(r.value(S("indicator")), QVariant(15));
    EXPECT_EQ(r.value(S("c_number")), QVariant(500.0));
    EXPECT_EQ(r.value(S("summer")), QVariant(true));
    EXPECT_FALSE(r.contains(S("note")));
    EXPECT_FALSE(r.value(S("ncorrect")).isValid()); // not in this file

    // A value for a column the file lacks is refused; a null for it is fine.
    EXPECT_FALSE(Succeeded(table.append({{S("ncorrect"), 3}}), error));
    EXPECT_TRUE(error.contains(S("ncorrect"))) << error.toStdString();
    ASSERT_TRUE(Succeeded(table.append({{S("ncorrect"), QVariant()},
                                        {S("c_number"), 501},
                                        {S("DATE_REC"), QDate(2026, 12, 8)},
                                        {S("summer"), false},
                                        {S("version"), S("4.2")}}),
                          error))
        << error.toStdString();

    const QJsonObject t = Dbfread(path);
    EXPECT_EQ(t[S("numrecords")].toInt(), 3);
    EXPECT_EQ(t[S("deleted")].toInt(), 1);
    const QJsonArray records = t[S("records")].toArray();
    ASSERT_EQ(records.size(), 2);
    const QJsonObject old = records[0].toObject();
    EXPECT_EQ(old[S("note")].toString(), S("keep me"));
    EXPECT_EQ(old[S("extra")].toDouble(), 1.25);
    EXPECT_EQ(old[S("time_1")].toString(), S("1899-12-30T05:00:00.000"));
    const QJsonObject added = records[1].toObject();
    EXPECT_EQ(added[S("c_number")].toInt(), 501);
    EXPECT_EQ(added[S("date_rec")].toString(), S("2026-12-08"));
    EXPECT_EQ(added[S("summer")].toBool(true), false);
    EXPECT_EQ(added[S("version")].toString(), S("4.2"));
    for (const char *blank : {"extra", "zone_0", "time_1", "indicator"})
        EXPECT_TRUE(added[S(blank)].isNull()) << blank;
    for (const char *blank : {"note", "time_0"})
        EXPECT_EQ(added[S(blank)].toString(QStringLiteral("not text")), QString()) << blank;
    EXPECT_EQ(Noted(table.rowCount(), error), 2);
    EXPECT_EQ(Noted(table.latestDay(), error)->date, QDate(2026, 12, 8));
}

QList<RawField> Level7Fields()
{
    return {
        {"C_NUMBER", 'N', 10}, {"DATE_REC", 'D', 8},
        {"TIME_REC", 'C', 5},  {"ZONE_0", 'I', 4},
        {"TIME_0", '@', 8},    {"ZONE_1", 'I', 4},
        {"TIME_1", '@', 8},    {"INDICATOR", 'I', 4},
        {"SUMMER", 'L', 1},    {"REMARK_OF_THE_OPERATOR", 'C', 20},
        {"VERSION", 'C', 5},   {"ADDRESS", 'I', 4},
    };
}

QByteArray Level7Record(char flag, int number, const QByteArray &date, std::optional<int> zone0, int zone1,
                        const QByteArray &remark)
{
    const QDate zero(1899, 12, 30);
    return QByteArray(1, flag) + RightAligned(QByteArray::number(number), 10) + date + "09:00" +
           (zone0 ? Level7Int(*zone0) : QByteArray(4, '\0')) +
           (zone0 ? Level7Timestamp(zero, 7 * 3600000 + 30 * 60000) : QByteArray(8, '\0')) + Level7Int(zone1) +
           Level7Timestamp(zero, 23 * 3600000) + Level7Int(5) + "F" + Padded(remark, 20) + Padded("4.1", 5) +
           QByteArray(4, '\0');
}

TEST_F(DbfTableTest, Level7TableIsReadAppendedToAndStillReads)
{
    const QString path = pathOf("Setting.DBF");
    ASSERT_TRUE(WriteFile(path, LayOutTable(0x04, true, Level7Fields(),
                                            {Level7Record(' ', 700, "20261207", 0, 1, "first"),
                                             Level7Record('*', 999, "20261209", 3, 3, "deleted"),
                                             Level7Record(' ', 701, "20261207", std::nullopt, 2, "second")})));
    DbfTable table(path);
    QString error;
    const auto header = Noted(table.open(), error);
    ASSERT_TRUE(header) << error.toStdString();
    EXPECT_TRUE(header->level7);
    EXPECT_EQ(header->fields.size(), 12);

    const auto checkOld = [&](const char *when) {
        const auto latest = Noted(table.latestDay(), error);
        ASSERT_TRUE(latest) << error.toStdString();
        ASSERT_FALSE(latest->rows.isEmpty()) << when;
        const LocalRow &first = latest->rows[0];
        EXPECT_EQ(first.value(S("c_number")), QVariant(700.0)) << when;
        EXPECT_EQ(first.value(S("zone_0")), QVariant(0)) << when; // a stored zero, not null
        EXPECT_EQ(first.value(S("time_0")), QVariant(QTime(7, 30))) << when;
        EXPECT_EQ(first.value(S("zone_1")), QVariant(1)) << when;
        EXPECT_EQ(first.value(S("time_1")), QVariant(QTime(23, 0))) << when;
        EXPECT_EQ(first.value(S("indicator")), QVariant(5)) << when;
        EXPECT_FALSE(first.value(S("address")).isValid()) << when;
    };
    checkOld("before the append");
    const auto before = Noted(table.latestDay(), error);
    ASSERT_EQ(before->rows.size(), 2);
    EXPECT_FALSE(before->rows[1].value(S("zone_0")).isValid());
    EXPECT_FALSE(before->rows[1].value(S("time_0")).isValid());

    ASSERT_TRUE(Succeeded(table.append({{S("c_number"), 702},
                                        {S("date_rec"), QDate(2026, 12, 7)},
                                        {S("address"), 17},
                                        {S("zone_0"), 2},
                                        {S("time_0"), QTime(6, 45)},
                                        {S("summer"), true},
                                        {S("version"), S("4.2")},
                                        {S("time_rec"), S("11:05")}}),
                          error))
        << error.toStdString();
    checkOld("after the append");
    const auto after = Noted(table.latestDay(), error);
    ASSERT_EQ(after->rows.size(), 3);
    const LocalRow &added = after->rows[2];
    EXPECT_EQ(added.value(S("address")), QVariant(17));
    EXPECT_EQ(added.value(S("zone_0")), QVariant(2));
    EXPECT_EQ(added.value(S("time_0")), QVariant(QTime(6, 45)));
    EXPECT_FALSE(added.value(S("zone_1")).isValid());
    EXPECT_FALSE(added.value(S("indicator")).isValid());
    EXPECT_EQ(Noted(table.open(), error)->recordCount, 4u);

    // dbfread itself stops at the 32-byte descriptors; its records and C/N/D/L parsing
    // with the 48-byte descriptors and level 7 'I' and '@' read the same.
    const QJsonObject t = Dbfread(path, true);
    EXPECT_EQ(t[S("dbversion")].toInt(), 4);
    EXPECT_EQ(t[S("numrecords")].toInt(), 4);
    EXPECT_EQ(t[S("deleted")].toInt(), 1);
    const QJsonArray records = t[S("records")].toArray();
    ASSERT_EQ(records.size(), 3);
    const QJsonObject r0 = records[0].toObject();
    EXPECT_EQ(r0[S("zone_0")].toInt(-1), 0);
    EXPECT_EQ(r0[S("time_0")].toString(), S("1899-12-30T07:30:00.000"));
    EXPECT_EQ(r0[S("remark_of_the_operator")].toString(), S("first"));
    EXPECT_TRUE(records[1].toObject()[S("zone_0")].isNull());
    const QJsonObject r2 = records[2].toObject();
    EXPECT_EQ(r2[S("c_number")].toInt(), 702);
    EXPECT_EQ(r2[S("address")].toInt(), 17);
    EXPECT_EQ(r2[S("zone_0")].toInt(), 2);
    EXPECT_EQ(r2[S("time_0")].toString(), S("1899-12-30T06:45:00.000"));
    EXPECT_EQ(r2[S("summer")].toBool(), true);
    EXPECT_EQ(r2[S("version")].toString(), S("4.2"));
    EXPECT_TRUE(r2[S("remark_of_the_operator")].toString().isEmpty());
    EXPECT_TRUE(r2[S("time_1")].isNull());
    EXPECT_TRUE(r2[S("indicator")].isNull());
}

TEST_F(DbfTableTest, ShortTailIsReadAsTheWholeRecordsAndRepairedByTheNextAppend)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(Succeeded(table.append({{S("c_number"), n}}), error));
    const auto h = Noted(table.open(), error);
    QByteArray bytes = ReadFile(path);
    bytes.truncate(h->headerLength + 2 * h->recordLength + h->recordLength / 2); // half of the third record
    ASSERT_TRUE(WriteFile(path, bytes));
    EXPECT_EQ(Noted(table.rowCount(), error), 2);
    ASSERT_TRUE(Succeeded(table.append({{S("c_number"), 4}}), error));
    EXPECT_EQ(Noted(table.rowCount(), error), 3);
    EXPECT_EQ(Noted(table.open(), error)->recordCount, 3u);
    const QJsonObject t = Dbfread(path);
    EXPECT_EQ(t[S("numrecords")].toInt(), 3);
    ASSERT_EQ(t[S("records")].toArray().size(), 3);
    EXPECT_EQ(t[S("records")].toArray()[2].toObject()[S("c_number")].toDouble(), 4.0);
}

TEST_F(DbfTableTest, ReadOnlyFileGivesTheReason)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error));
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const QByteArray before = ReadFile(path);
    EXPECT_FALSE(Succeeded(table.append(TypicalRow()), error));
    EXPECT_EQ(error, QDir::toNativeSeparators(path) + S(": файл доступен только для чтения"));
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(Noted(table.rowCount(), error), 1); // reading still works
}

TEST_F(DbfTableTest, FileTheSystemRefusesToWriteGivesItsReason)
{
    // An immutable file refuses writes even to an administrator, where the system allows
    // setting the flag at all.
    const QString path = createSetting();
    QProcess chattr;
    chattr.start(S("chattr"), {S("+i"), path});
    if (!chattr.waitForFinished(10000) || chattr.exitStatus() != QProcess::NormalExit || chattr.exitCode() != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    QString error;
    const bool appended = Succeeded(DbfTable(path).append(TypicalRow()), error);
    QProcess::execute(S("chattr"), {S("-i"), path});
    EXPECT_FALSE(appended);
    EXPECT_TRUE(error.startsWith(path + S(": не удаётся открыть файл для записи ("))) << error.toStdString();
}

TEST_F(DbfTableTest, MissingOrUnreadableFileIsAnError)
{
    const QString missing = pathOf("Setting.DBF");
    DbfTable table(missing);
    QString error;
    EXPECT_FALSE(Succeeded(table.append(TypicalRow()), error));
    EXPECT_EQ(error, QDir::toNativeSeparators(missing) + S(": файл не найден"));
    EXPECT_FALSE(QFile::exists(missing)); // the station never creates it
    EXPECT_FALSE(Succeeded(table.select({}), error));
    EXPECT_FALSE(Noted(table.maxNumber(), error));
    EXPECT_FALSE(Noted(table.latestDay(), error));
    EXPECT_FALSE(Noted(table.rowCount(), error));

    DbfTable folder(dir.path());
    error.clear();
    EXPECT_FALSE(Noted(folder.rowCount(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(Succeeded(folder.append(TypicalRow()), error));
}

// A header length that disagrees with the descriptors would put the new row where no
// reader looks for it and over the end of the last one: the table is refused, untouched.
class DbfHeaderLengthTest : public DbfTableTest, public ::testing::WithParamInterface<int> {};

TEST_P(DbfHeaderLengthTest, DisagreeingWithTheDescriptorsIsRefusedAndTheFileUntouched)
{
    const QString path = pathOf("Setting.DBF");
    QList<QByteArray> rows; // enough that the file is longer than any of the header lengths
    for (int n = 1; n <= 20; ++n)
        rows.append(QByteArray(" ") + RightAligned(QByteArray::number(n), 10) + "20261208");
    QByteArray bytes = LayOutTable(0x03, false, {{"C_NUMBER", 'N', 10}, {"DATE_REC", 'D', 8}}, rows);
    const int length = 32 + 2 * 32 + 1 + GetParam();
    bytes[8] = static_cast<char>(length & 0xFF);
    bytes[9] = static_cast<char>(length >> 8);
    ASSERT_TRUE(WriteFile(path, bytes));

    DbfTable table(path);
    QString error;
    EXPECT_FALSE(Succeeded(table.append(TypicalRow()), error));
    EXPECT_TRUE(error.contains(S("файл повреждён: длина заголовка не совпадает с описаниями полей")))
        << error.toStdString();
    EXPECT_FALSE(Noted(table.rowCount(), error));
    EXPECT_EQ(ReadFile(path), bytes);
}

INSTANTIATE_TEST_SUITE_P(Offsets, DbfHeaderLengthTest, ::testing::Values(1, -1, 32, 2, 262, 264), [](const auto &info) {
    return (info.param < 0 ? "minus" : "plus") + std::to_string(std::abs(info.param));
});

TEST_F(DbfTableTest, FoxProBackLinkAfterTheDescriptorsIsRead)
{
    // Visual FoxPro keeps 263 bytes for its database container between descriptors and rows.
    const QString path = pathOf("Setting.DBF");
    QByteArray bytes = LayOutTable(0x30, false, {{"C_NUMBER", 'N', 10}, {"DATE_REC", 'D', 8}}, {});
    const int length = 32 + 2 * 32 + 1 + 263;
    bytes.insert(length - 263, QByteArray(263, '\0'));
    bytes[8] = static_cast<char>(length & 0xFF);
    bytes[9] = static_cast<char>(length >> 8);
    ASSERT_TRUE(WriteFile(path, bytes));
    QString error;
    DbfTable table(path);
    ASSERT_TRUE(Succeeded(table.append({{S("c_number"), 7}, {S("date_rec"), QDate(2026, 12, 8)}}), error))
        << error.toStdString();
    const QJsonObject t = Dbfread(path);
    EXPECT_EQ(t[S("headerlen")].toInt(), length);
    ASSERT_EQ(t[S("records")].toArray().size(), 1);
    EXPECT_EQ(t[S("records")].toArray()[0].toObject()[S("c_number")].toInt(), 7);
}

// Bytes this process has read and written through system calls so far.
std::pair<qint64, qint64> ProcessIo()
{
    QFile io(S("/proc/self/io"));
    qint64 read = -1;
    qint64 written = -1;
    if (io.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : io.readAll().split('\n')) {
            if (line.startsWith("rchar: "))
                read = line.mid(7).toLongLong();
            if (line.startsWith("wchar: "))
                written = line.mid(7).toLongLong();
        }
    }
    return {read, written};
}

TEST_F(DbfTableTest, AppendTouchesOneRecordWhateverTheTableSize)
{
    const QString path = createSetting();
    DbfTable table(path);
    QString error;
    ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error));
    // Grow the table to 20000 records directly.
    const auto h = Noted(table.open(), error);
    QByteArray bytes = ReadFile(path);
    const QByteArray record = bytes.mid(h->headerLength, h->recordLength);
    bytes.chop(1);
    const int total = 20000;
    bytes.reserve(bytes.size() + total * h->recordLength + 1);
    for (int i = 1; i < total; ++i)
        bytes += record;
    bytes += '\x1A';
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
    ASSERT_TRUE(WriteFile(path, bytes));
    ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error)); // the first flush of the whole file is not the append's

    const auto [read0, written0] = ProcessIo();
    ASSERT_GE(read0, 0);
    ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error));
    const auto [read1, written1] = ProcessIo();
    EXPECT_LE(written1 - written0, h->recordLength + 1 + 1 + 7);
    EXPECT_LE(read1 - read0, 32 + h->headerLength + 4096); // the header, and /proc/self/io itself

    for (int i = 0; i < 21; ++i)
        ASSERT_TRUE(Succeeded(table.append(TypicalRow()), error));
    EXPECT_EQ(Noted(table.open(), error)->recordCount, static_cast<quint32>(total + 23));
}

#if defined(ORDAN_HAVE_SHAPELIB)
TEST_F(DbfTableTest, ShapelibReadsTheCreatedTable)
{
    const QString path = createSetting();
    QString error;
    ASSERT_TRUE(Succeeded(DbfTable(path).append(TypicalRow()), error));
    DBFHandle dbf = DBFOpen(QFile::encodeName(path).constData(), "rb");
    ASSERT_NE(dbf, nullptr);
    EXPECT_EQ(DBFGetFieldCount(dbf), static_cast<int>(kSettingColumns.size()));
    EXPECT_EQ(DBFGetRecordCount(dbf), 1);
    for (int i = 0; i < DBFGetFieldCount(dbf); ++i) {
        char name[12] = {};
        int width = 0;
        int decimals = 0;
        DBFGetFieldInfo(dbf, i, name, &width, &decimals);
        EXPECT_EQ(QString::fromLatin1(name).toLower(), ColumnName(kSettingColumns[i]));
        EXPECT_EQ(width, kSettingColumns[i].length);
        EXPECT_EQ(DBFGetNativeFieldType(dbf, i), kSettingColumns[i].dbfType);
    }
    const auto field = [&](const char *n) { return DBFGetFieldIndex(dbf, n); };
    EXPECT_EQ(DBFReadDoubleAttribute(dbf, 0, field("C_NUMBER")), 1234.0);
    EXPECT_DOUBLE_EQ(DBFReadDoubleAttribute(dbf, 0, field("t_1_c")), 1234.56789);
    EXPECT_STREQ(DBFReadStringAttribute(dbf, 0, field("VERSION")), "5.12");
    EXPECT_STREQ(DBFReadStringAttribute(dbf, 0, field("C_DATE")), "20261208");
    EXPECT_TRUE(DBFIsAttributeNULL(dbf, 0, field("T_3_C")));
    EXPECT_TRUE(DBFIsAttributeNULL(dbf, 0, field("CORRECT")));
    EXPECT_FALSE(DBFIsAttributeNULL(dbf, 0, field("DDM_C")));
    DBFClose(dbf);
}
#endif

} // namespace
} // namespace ordan::test
