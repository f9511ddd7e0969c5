// dBase bytes in, values out, and back: header parsing and every field type.
#include "dbf_test_files.h"
#include "records/dbf_format.h"
#include "support/result_checks.h"
#include "support/test_support.h"

#include <QDateTime>
#include <QTime>
#include <gtest/gtest.h>

namespace ordan::test {
namespace {

using dbf::Field;
using dbf::Header;

Field F(const char *name, char type, int length, int decimals = 0)
{
    return {QString::fromLatin1(name), type, length, decimals, 0};
}

Header HeaderWith(bool level7, QList<Field> fields)
{
    Header h;
    h.version = level7 ? 0x04 : 0x03;
    h.level7 = level7;
    h.languageDriver = 0xC9;
    int offset = 1;
    for (Field &f : fields) {
        f.offset = offset;
        offset += f.length;
    }
    h.recordLength = offset;
    h.fields = fields;
    return h;
}

// The value a field of one type decodes from the given bytes.
QVariant Decode(const Header &h, const QByteArray &fieldBytes)
{
    QByteArray record(" ");
    record += fieldBytes;
    return dbf::DecodeField(h, h.fields[0], record);
}

QByteArray Encode(const Header &h, const QVariant &value, QString *error = nullptr)
{
    QByteArray out(h.fields[0].length, 'x');
    QString e;
    if (!Succeeded(dbf::EncodeField(h, h.fields[0], value, out.data()), e)) {
        if (error)
            *error = e;
        return {};
    }
    return out;
}

TEST(DbfHeader, ParsesDbase3Descriptors)
{
    const QByteArray file = LayOutTable(0x03, false, {{"C_NUMBER", 'N', 10}, {"Version", 'C', 5}, {"DATE_REC", 'D', 8}},
                                        {QByteArray(" ") + RightAligned("12", 10) + Padded("5.1", 5) + "20261208"});
    QString error;
    const auto h = dbf::ParseHeader(file);
    error = h.error();
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_FALSE(h->level7);
    EXPECT_EQ(h->recordCount, 1u);
    EXPECT_EQ(h->recordLength, 24);
    ASSERT_EQ(h->fields.size(), 3);
    EXPECT_EQ(h->fields[1].name, QStringLiteral("version"));
    EXPECT_EQ(h->fields[1].offset, 11);
    EXPECT_EQ(h->indexOf(u"DATE_rec"), 2);
    EXPECT_EQ(h->indexOf(u"zone_0"), -1);
    EXPECT_EQ(h->codepage(), QByteArray("IBM866"));
}

TEST(DbfHeader, ParsesLevel7Descriptors)
{
    const QByteArray file = LayOutTable(0x04, true, {{"A_LONG_FIELD_NAME_OF_LEVEL_7", 'I', 4}, {"TS", '@', 8}}, {});
    QString error;
    const auto h = dbf::ParseHeader(file);
    error = h.error();
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_TRUE(h->level7);
    ASSERT_EQ(h->fields.size(), 2);
    EXPECT_EQ(h->fields[0].name, QStringLiteral("a_long_field_name_of_level_7"));
    EXPECT_EQ(h->fields[1].type, '@');
    EXPECT_EQ(h->fields[1].offset, 5);
    EXPECT_EQ(h->headerLength, 68 + 2 * 48 + 1 + 14);
}

TEST(DbfHeader, LayoutFollowsTheDescriptorsWhenByteZeroIsLoose)
{
    // A level 7 layout under a dBase III version byte still reads, by its descriptor size.
    const QByteArray file = LayOutTable(0x03, true, {{"ZONE_0", 'I', 4}, {"VERSION", 'C', 5}}, {});
    QString error;
    const auto h = dbf::ParseHeader(file);
    error = h.error();
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_TRUE(h->level7);
    EXPECT_EQ(h->fields[1].name, QStringLiteral("version"));
}

struct CorruptCase {
    const char *what;
    std::function<void(QByteArray &)> spoil;
};

class DbfCorruptHeader : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(DbfCorruptHeader, IsAnErrorNotAGuess)
{
    QByteArray file = LayOutTable(0x03, false, {{"C_NUMBER", 'N', 10}, {"DATE_REC", 'D', 8}},
                                  {QByteArray(" ") + RightAligned("12", 10) + "20261208"});
    GetParam().spoil(file);
    QString error;
    EXPECT_FALSE(Succeeded(dbf::ParseHeader(file), error)) << GetParam().what;
    EXPECT_TRUE(error.startsWith(QStringLiteral("файл повреждён: "))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DbfCorruptHeader,
    ::testing::Values(CorruptCase{"empty", [](QByteArray &f) { f.clear(); }},
                      CorruptCase{"shorter than the fixed header", [](QByteArray &f) { f.truncate(31); }},
                      CorruptCase{"shorter than its header length", [](QByteArray &f) { f.truncate(70); }},
                      CorruptCase{"unknown version", [](QByteArray &f) { f[0] = 0x02; }},
                      CorruptCase{"header length too small",
                                  [](QByteArray &f) {
                                      f[8] = 20;
                                      f[9] = 0;
                                  }},
                      CorruptCase{"header length past the descriptors' end",
                                  [](QByteArray &f) {
                                      f[8] = char(0xFF);
                                      f[9] = 0x7F;
                                  }},
                      CorruptCase{"record length zero",
                                  [](QByteArray &f) {
                                      f[10] = 0;
                                      f[11] = 0;
                                  }},
                      CorruptCase{"record length not the fields' sum", [](QByteArray &f) { f[10] = 30; }},
                      CorruptCase{"field length zero", [](QByteArray &f) { f[32 + 16] = 0; }},
                      CorruptCase{"date of seven bytes", [](QByteArray &f) { f[64 + 16] = 7; }},
                      CorruptCase{"field without a name", [](QByteArray &f) { f[32] = 0; }},
                      CorruptCase{"no terminator, descriptors run past the header", [](QByteArray &f) { f[96] = 'X'; }},
                      CorruptCase{"no fields", [](QByteArray &f) { f[32] = 0x0D; }}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(DbfHeader, StoredHeaderLengthNeedsTheFixedHeader)
{
    EXPECT_FALSE(dbf::StoredHeaderLength(QByteArray(31, '\0')));
    QByteArray b(32, '\0');
    b[8] = 0x21;
    b[9] = 0x01;
    EXPECT_EQ(dbf::StoredHeaderLength(b), 0x121);
}

struct DecodeCase {
    const char *what;
    bool level7;
    Field field;
    QByteArray bytes;
    QVariant expected; // invalid = null
};

class DbfDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DbfDecode, GivesTheValue)
{
    const DecodeCase &c = GetParam();
    const Header h = HeaderWith(c.level7, {c.field});
    const QVariant v = Decode(h, c.bytes);
    if (!c.expected.isValid()) {
        EXPECT_FALSE(v.isValid()) << c.what << ": " << v.toString().toStdString();
        return;
    }
    EXPECT_EQ(v.typeId(), c.expected.typeId()) << c.what;
    EXPECT_EQ(v, c.expected) << c.what << ": " << v.toString().toStdString();
}

const QDate kZero(1899, 12, 30);

INSTANTIATE_TEST_SUITE_P(
    Types, DbfDecode,
    ::testing::Values(
        DecodeCase{"text, blanks dropped", false, F("v", 'C', 5), "5.1  ", QStringLiteral("5.1")},
        DecodeCase{"text, leading blank kept", false, F("v", 'C', 5), " 5.1 ", QStringLiteral(" 5.1")},
        DecodeCase{"text blank is null", false, F("v", 'C', 5), "     ", QVariant()},
        DecodeCase{"text cp1251", false, F("v", 'C', 3), "\xc4\xe0 ", QStringLiteral("Да")},
        DecodeCase{"numeric", false, F("n", 'N', 6), "  1234", QVariant(1234.0)},
        DecodeCase{"numeric with decimals", false, F("n", 'N', 10, 5), "  -1.50000", QVariant(-1.5)},
        DecodeCase{"numeric, comma", false, F("n", 'N', 6, 2), "  1,25", QVariant(1.25)},
        DecodeCase{"float", false, F("n", 'F', 12, 5), "     0.00025", QVariant(0.00025)},
        DecodeCase{"numeric blank is null", false, F("n", 'N', 6), "      ", QVariant()},
        DecodeCase{"numeric overflow stars are null", false, F("n", 'N', 4), "****", QVariant()},
        DecodeCase{"numeric garbage is null", false, F("n", 'N', 4), "12x4", QVariant()},
        DecodeCase{"numeric nan is null", false, F("n", 'N', 4), " nan", QVariant()},
        DecodeCase{"date", false, F("d", 'D', 8), "20261208", QVariant(QDate(2026, 12, 8))},
        DecodeCase{"date blank", false, F("d", 'D', 8), "        ", QVariant()},
        DecodeCase{"date zeros", false, F("d", 'D', 8), "00000000", QVariant()},
        DecodeCase{"date impossible", false, F("d", 'D', 8), "20261340", QVariant()},
        DecodeCase{"logical T", false, F("l", 'L', 1), "T", QVariant(true)},
        DecodeCase{"logical y", false, F("l", 'L', 1), "y", QVariant(true)},
        DecodeCase{"logical F", false, F("l", 'L', 1), "F", QVariant(false)},
        DecodeCase{"logical n", false, F("l", 'L', 1), "n", QVariant(false)},
        DecodeCase{"logical blank", false, F("l", 'L', 1), " ", QVariant()},
        DecodeCase{"logical unknown", false, F("l", 'L', 1), "?", QVariant()},
        DecodeCase{"level 7 integer", true, F("i", 'I', 4), Level7Int(2), QVariant(2)},
        DecodeCase{"level 7 integer zero", true, F("i", 'I', 4), Level7Int(0), QVariant(0)},
        DecodeCase{"level 7 integer negative", true, F("i", 'I', 4), Level7Int(-7), QVariant(-7)},
        DecodeCase{"level 7 integer null", true, F("i", 'I', 4), QByteArray(4, '\0'), QVariant()},
        DecodeCase{"FoxPro integer", false, F("i", 'I', 4), QByteArray("\x05\x00\x00\x00", 4), QVariant(5)},
        DecodeCase{"level 7 timestamp", true, F("t", '@', 8), Level7Timestamp(QDate(2026, 12, 8), 36930500),
                   QVariant(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30, 500), Qt::UTC))},
        DecodeCase{"level 7 time of day", true, F("t", '@', 8), Level7Timestamp(kZero, 27000000),
                   QVariant(QDateTime(kZero, QTime(7, 30), Qt::UTC))},
        DecodeCase{"level 7 timestamp null", true, F("t", '@', 8), QByteArray(8, '\0'), QVariant()},
        DecodeCase{"FoxPro datetime", false, F("t", 'T', 8),
                   QByteArray("\xbe\x82\x25\x00\x80\xee\x36\x00", 8) /* JD 2458302, 01:00 */,
                   QVariant(QDateTime(QDate::fromJulianDay(2458302), QTime(1, 0), Qt::UTC))},
        DecodeCase{"FoxPro datetime null", false, F("t", 'T', 8), QByteArray(8, '\0'), QVariant()},
        DecodeCase{"time of 4 bytes", false, F("t", 'T', 4), QByteArray("\x80\xee\x36\x00", 4), QVariant(QTime(1, 0))},
        DecodeCase{"memo is not read", false, F("m", 'M', 10), "         7", QVariant()},
        DecodeCase{"Visual FoxPro double", false, F("b", 'B', 8), QByteArray("\x00\x00\x00\x00\xc0\x1c\xc8\x40", 8),
                   QVariant(12345.5)},
        DecodeCase{"dBase binary memo is not read", false, F("b", 'B', 10), "         7", QVariant()}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

TEST(DbfDecode, NeverReadsPastTheRecord)
{
    const Header h = HeaderWith(false, {F("n", 'N', 6)});
    EXPECT_FALSE(dbf::DecodeField(h, h.fields[0], QByteArray(" 12")).isValid());
    Field stray = F("x", 'C', 10);
    stray.offset = 50;
    EXPECT_FALSE(dbf::DecodeField(h, stray, QByteArray(" 123456")).isValid());
}

struct EncodeCase {
    const char *what;
    bool level7;
    Field field;
    QVariant value;
    QByteArray expected; // empty = refused
};

class DbfEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(DbfEncode, WritesTheBytes)
{
    const EncodeCase &c = GetParam();
    const Header h = HeaderWith(c.level7, {c.field});
    QString error;
    const QByteArray out = Encode(h, c.value, &error);
    if (c.expected.isEmpty()) {
        EXPECT_TRUE(out.isEmpty()) << c.what;
        EXPECT_TRUE(error.contains(c.field.name)) << error.toStdString();
        return;
    }
    EXPECT_EQ(Hex(out), Hex(c.expected)) << c.what;
}

TEST(DbfEncode, ReadsBackAsWritten)
{
    const Header h7 = HeaderWith(true, {F("i", 'I', 4), F("t", '@', 8), F("n", 'N', 20, 5), F("d", 'D', 8)});
    const QList<QVariant> values{QVariant(-123456),
                                 QVariant(QDateTime(QDate(1999, 3, 31), QTime(23, 59, 59, 999), Qt::UTC)),
                                 QVariant(274877906.944), QVariant(QDate(2000, 2, 29))};
    QByteArray record(h7.recordLength, ' ');
    QString error;
    for (int i = 0; i < values.size(); ++i)
        ASSERT_TRUE(
            Succeeded(dbf::EncodeField(h7, h7.fields[i], values[i], record.data() + h7.fields[i].offset), error));
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(dbf::DecodeField(h7, h7.fields[i], record), values[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Types, DbfEncode,
    ::testing::Values(
        EncodeCase{"text padded", false, F("v", 'C', 5), QStringLiteral("5.1"), "5.1  "},
        EncodeCase{"text cut to width", false, F("v", 'C', 5), QStringLiteral("10.1234"), "10.12"},
        EncodeCase{"text null", false, F("v", 'C', 5), QVariant(), "     "},
        EncodeCase{"time into text", false, F("t", 'C', 8), QVariant(QTime(7, 30)), "07:30:00"},
        EncodeCase{"numeric", false, F("n", 'N', 6), QVariant(17), "    17"},
        EncodeCase{"numeric decimals", false, F("n", 'F', 12, 5), QVariant(1234.56789), "  1234.56789"},
        EncodeCase{"numeric rounds to its decimals", false, F("n", 'N', 8, 2), QVariant(2.345678), "    2.35"},
        EncodeCase{"numeric drops decimals to fit", false, F("n", 'N', 5, 3), QVariant(123.5), "123.5"},
        EncodeCase{"numeric drops all decimals", false, F("n", 'N', 5, 3), QVariant(1234.75), " 1235"},
        EncodeCase{"numeric negative zero", false, F("n", 'N', 3), QVariant(-0.0), "  0"},
        EncodeCase{"numeric too wide", false, F("n", 'N', 3), QVariant(12345), ""},
        EncodeCase{"numeric not a number", false, F("n", 'N', 6), QVariant(QStringLiteral("abc")), ""},
        EncodeCase{"numeric null", false, F("n", 'N', 6), QVariant(), "      "},
        EncodeCase{"date", false, F("d", 'D', 8), QVariant(QDate(2026, 12, 8)), "20261208"},
        EncodeCase{"date null", false, F("d", 'D', 8), QVariant(), "        "},
        EncodeCase{"date from text refused", false, F("d", 'D', 8), QVariant(QStringLiteral("08.12.2026")), ""},
        EncodeCase{"logical true", false, F("l", 'L', 1), QVariant(true), "T"},
        EncodeCase{"logical false", false, F("l", 'L', 1), QVariant(false), "F"},
        EncodeCase{"logical null", false, F("l", 'L', 1), QVariant(), " "},
        EncodeCase{"level 7 integer", true, F("i", 'I', 4), QVariant(17), Level7Int(17)},
        EncodeCase{"level 7 integer null", true, F("i", 'I', 4), QVariant(), QByteArray(4, '\0')},
        EncodeCase{"level 7 integer too big", true, F("i", 'I', 4), QVariant(1e10), ""},
        EncodeCase{"FoxPro integer", false, F("i", 'I', 4), QVariant(-2), QByteArray("\xfe\xff\xff\xff", 4)},
        EncodeCase{"level 7 timestamp", true, F("t", '@', 8),
                   QVariant(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30, 500), Qt::UTC)),
                   Level7Timestamp(QDate(2026, 12, 8), 36930500)},
        EncodeCase{"level 7 time of day", true, F("t", '@', 8), QVariant(QTime(7, 30)),
                   Level7Timestamp(kZero, 27000000)},
        EncodeCase{"FoxPro datetime", false, F("t", 'T', 8),
                   QVariant(QDateTime(QDate::fromJulianDay(2458302), QTime(1, 0), Qt::UTC)),
                   QByteArray("\xbe\x82\x25\x00\x80\xee\x36\x00", 8)},
        EncodeCase{"memo refuses values", false, F("m", 'M', 10), QVariant(QStringLiteral("x")), ""},
        EncodeCase{"memo null is blank", false, F("m", 'M', 10), QVariant(), "          "},
        EncodeCase{"Visual FoxPro double", false, F("b", 'B', 8), QVariant(12345.5),
                   QByteArray("\x00\x00\x00\x00\xc0\x1c\xc8\x40", 8)},
        EncodeCase{"Visual FoxPro double null", false, F("b", 'B', 8), QVariant(), QByteArray(8, '\0')},
        EncodeCase{"binary memo refuses values", false, F("b", 'B', 10), QVariant(1), ""}),
    [](const auto &info) { return "case" + std::to_string(info.index); });

// Visual FoxPro marks nulls in the hidden _NullFlags column: one bit per column that may hold
// null, after a length bit for each varying-length column, in column order.
TEST(DbfNullFlags, BitsFollowTheColumnsAndMarkNulls)
{
    QByteArray file = LayOutTable(
        0x30, false,
        {{"ZONE_0", 'I', 4}, {"NOTE", 'V', 10}, {"TIME_0", 'T', 8}, {"FIXED", 'I', 4}, {"_NullFlags", '0', 1}}, {});
    const auto flagsOf = [&file](int field, char flags) { file[32 + 32 * field + 18] = flags; };
    flagsOf(0, 0x02);
    flagsOf(1, 0x02);
    flagsOf(2, 0x02);
    flagsOf(4, 0x05);
    QString error;
    const auto h = dbf::ParseHeader(file);
    error = h.error();
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_EQ(h->nullFlagsOffset, 1 + 4 + 10 + 8 + 4);
    EXPECT_EQ(h->fields[0].nullBit, 0);
    EXPECT_EQ(h->fields[1].nullBit, 2); // bit 1 is the length bit of the V column
    EXPECT_EQ(h->fields[2].nullBit, 3);
    EXPECT_EQ(h->fields[3].nullBit, -1);
    EXPECT_TRUE(dbf::CanHoldNull(*h, h->fields[0]));
    EXPECT_FALSE(dbf::CanHoldNull(*h, h->fields[3])); // I without a null bit: 0 is all it has

    QByteArray record(h->recordLength, '\0');
    record[0] = ' ';
    record[1] = 5;           // zone_0 = 5
    record[16] = char(0x80); // time_0: a valid day
    ASSERT_EQ(dbf::DecodeField(*h, h->fields[0], record), QVariant(5));
    for (const dbf::Field &f : h->fields)
        dbf::SetNullFlag(*h, f, record.data(), true);
    EXPECT_EQ(static_cast<quint8>(record[h->nullFlagsOffset]), 0b1101);
    for (int i : {0, 1, 2})
        EXPECT_FALSE(dbf::DecodeField(*h, h->fields[i], record).isValid()) << i;
    EXPECT_EQ(dbf::DecodeField(*h, h->fields[3], record), QVariant(0));
    dbf::SetNullFlag(*h, h->fields[0], record.data(), false);
    EXPECT_EQ(dbf::DecodeField(*h, h->fields[0], record), QVariant(5));
    EXPECT_EQ(static_cast<quint8>(record[h->nullFlagsOffset]), 0b1100);

    // More marked columns than _NullFlags has bits: a damaged table, not a guess.
    QList<RawField> many;
    for (int i = 0; i < 9; ++i)
        many.append({"Z" + QByteArray::number(i), 'I', 4});
    many.append({"_NullFlags", '0', 1});
    QByteArray crowded = LayOutTable(0x30, false, many, {});
    for (int i = 0; i < 9; ++i)
        crowded[32 + 32 * i + 18] = 0x02;
    crowded[32 + 32 * 9 + 18] = 0x05;
    EXPECT_FALSE(Succeeded(dbf::ParseHeader(crowded), error));
}

TEST(DbfEmptyTable, HasHeaderDescriptorsTerminatorAndEndMark)
{
    QString error;
    const auto bytes = dbf::BuildEmptyTable(
        {{QStringLiteral("c_number"), 'F', 12, 0}, {QStringLiteral("version"), 'C', 5, 0}}, QDate(2026, 12, 8));
    error = bytes.error();
    ASSERT_TRUE(bytes) << error.toStdString();
    ASSERT_EQ(bytes->size(), 32 + 2 * 32 + 1 + 1);
    EXPECT_EQ(Hex(bytes->first(12)), QStringLiteral("03 7E 0C 08 00 00 00 00 61 00 12 00"));
    EXPECT_EQ(bytes->mid(32, 8), QByteArray("C_NUMBER"));
    EXPECT_EQ(bytes->at(32 + 11), 'F');
    EXPECT_EQ(bytes->at(96), '\x0D');
    EXPECT_EQ(bytes->back(), '\x1A');
    const auto h = dbf::ParseHeader(*bytes);
    error = h.error();
    ASSERT_TRUE(h) << error.toStdString();
    EXPECT_EQ(h->fields[1].name, QStringLiteral("version"));
}

TEST(DbfEmptyTable, RefusesBadNamesAndWidths)
{
    QString error;
    EXPECT_FALSE(
        Succeeded(dbf::BuildEmptyTable({{QStringLiteral("much_too_long"), 'C', 5, 0}}, QDate(2026, 1, 1)), error));
    EXPECT_FALSE(Succeeded(dbf::BuildEmptyTable({{QStringLiteral("d"), 'D', 6, 0}}, QDate(2026, 1, 1)), error));
    EXPECT_FALSE(Succeeded(dbf::BuildEmptyTable({}, QDate(2026, 1, 1)), error));
}

TEST(DbfHeaderUpdate, DateAndCount)
{
    EXPECT_EQ(Hex(dbf::HeaderUpdate(QDate(2026, 12, 8), 0x01020304)), QStringLiteral("7E 0C 08 04 03 02 01"));
}

} // namespace
} // namespace ordan::test
