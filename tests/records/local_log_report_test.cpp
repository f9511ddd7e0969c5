// "Экспорт…" of the page "База данных": the rows the filter shows go to a workbook as the grid
// shows them (titles, numbers as numbers, dates as dates), read back by Debian's xlrd.
#include "app/station.h"
#include "app/station_fixture.h"
#include "records/local_log_report.h"
#include "records/local_log_view.h"
#include "records/local_table_memory.h"
#include "records/setting_table.h"
#include "support/test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <map>

namespace ordan::test {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kText = 1;
constexpr int kNumber = 2;
constexpr int kDate = 3;

struct XlrdCell {
    int type = 0;
    QJsonValue value;
};
using Cells = std::map<std::pair<int, int>, XlrdCell>;

Cells ReadWithXlrd(const QString &file, int *rows)
{
    QProcess python;
    StartPythonReader(python, {QString::fromUtf8(ORDAN_REPORT_XLS_SCRIPT), file});
    const bool finished = python.waitForFinished(120000);
    EXPECT_TRUE(finished && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    const QJsonObject book = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(book.value(u"warnings"_s).toString(), QString()) << "xlrd complained";
    *rows = book.value(u"nrows"_s).toInt();
    Cells out;
    for (const QJsonValue &v : book.value(u"cells"_s).toArray()) {
        const QJsonArray c = v.toArray();
        out[{c[0].toInt(), c[1].toInt()}] = {c[2].toInt(), c[3]};
    }
    return out;
}

int Column(const char16_t *title)
{
    for (size_t i = 0; i < kSettingViewColumns.size(); ++i)
        if (kSettingViewColumns[i].title == title)
            return static_cast<int>(i);
    ADD_FAILURE() << "no column";
    return -1;
}

struct ReportTest : ::testing::Test {
    const LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    StationRig rig;
    MemoryLocalTable table;
    std::unique_ptr<Station> station;

    ReportTest()
    {
        table.rows = {
            {{u"c_number"_s, 1234},
             {u"date_rec"_s, QDate(2026, 12, 8)},
             {u"time_rec"_s, u"10:15"_s},
             {u"version"_s, u"10.3"_s},
             {u"address"_s, 5},
             {u"c_date"_s, QDate(2026, 12, 8)},
             {u"c_time"_s, u"10:14"_s},
             {u"summer"_s, true},
             {u"reset"_s, false},
             {u"t_1_c"_s, 1.00025},
             {u"status"_s, 32769}},
            {{u"c_number"_s, 77}, {u"date_rec"_s, QDate(2026, 12, 8)}, {u"time_rec"_s, u"11:00"_s}},
            {{u"c_number"_s, 1234},
             {u"date_rec"_s, QDate(2026, 12, 7)},
             {u"time_rec"_s, u"09:00"_s},
             {u"reset"_s, true}},
            {{u"c_number"_s, 5}, {u"date_rec"_s, QDate(2026, 12, 9)}, {u"time_rec"_s, u"08:00"_s}},
        };
        station = std::make_unique<Station>(Station::Platform{rig.line, rig.timers, rig.op, rig.facts, rig.settings,
                                                              rig.ports, rig.exportFiles, rig.dir.path(), &table,
                                                              nullptr, &rig.recordsWorker});
        station->FormCreate();
    }
    LocalLogView &view() { return *station->localLog(); }
};

TEST_F(ReportTest, ExportIsOnlyOfferedWhileTheViewIsOpen)
{
    EXPECT_FALSE(view().BtnExport.isEnabled());
    EXPECT_EQ(view().BtnExport.caption(), u"Экспорт…"_s);
    ASSERT_TRUE(station->ActionOpen.execute());
    EXPECT_TRUE(view().BtnExport.isEnabled());
    ASSERT_TRUE(station->ActionClose.execute());
    EXPECT_FALSE(view().BtnExport.isEnabled());
    rig.op.nextSaveFile = rig.dir.filePath(u"r.xls"_s);
    EXPECT_FALSE(view().BtnExport.execute());
    EXPECT_FALSE(QFile::exists(rig.op.nextSaveFile));
}

TEST_F(ReportTest, RowsTheFilterShowsReadBackWithTheirKinds)
{
    struct Case {
        const char *what;
        QDate from;
        QDate to;
        int number;
        QList<int> numbers; // the rows, in the grid's order
        QString title;
    };
    const Case cases[] = {
        {"one day",
         QDate(2026, 12, 8),
         QDate(2026, 12, 8),
         0,
         {1234, 77},
         u"Записи установок с 08.12.2026 по 08.12.2026"_s},
        {"one meter over days",
         QDate(2026, 12, 1),
         QDate(2026, 12, 31),
         1234,
         {1234, 1234},
         u"Записи установок с 01.12.2026 по 31.12.2026, счетчик № 1234"_s},
        {"nothing", QDate(2026, 12, 10), QDate(2026, 12, 11), 0, {}, u"Записи установок с 10.12.2026 по 11.12.2026"_s},
    };
    const int columns = static_cast<int>(kSettingViewColumns.size());
    for (const Case &c : cases) {
        if (view().isOpen()) {
            ASSERT_TRUE(station->ActionClose.execute());
        }
        view().DTP1.edit(c.from);
        view().DTP2.edit(c.to);
        view().SpinFilter.edit(c.number);
        ASSERT_TRUE(station->ActionOpen.execute()) << c.what;
        const QString file = rig.dir.filePath(QString::fromLatin1(c.what) + u".xls"_s);
        rig.op.nextSaveFile = file;
        rig.facts.opened.clear();
        ASSERT_TRUE(view().BtnExport.execute()) << c.what;
        EXPECT_EQ(rig.op.lastFilter, u"xls|*.xls"_s);
        EXPECT_TRUE(rig.op.boxes.empty()) << c.what;
        ASSERT_EQ(rig.facts.opened.size(), 1u) << c.what << ": opened as the journal exports are";
        EXPECT_EQ(rig.facts.opened[0], QUrl::fromLocalFile(file));

        int rows = 0;
        const Cells cells = ReadWithXlrd(file, &rows);
        EXPECT_EQ(rows, 2 + c.numbers.size()) << c.what;
        EXPECT_EQ(cells.at({0, 0}).value.toString(), c.title) << c.what;
        for (int col = 0; col < columns; ++col) {
            const auto &title = kSettingViewColumns[static_cast<size_t>(col)].title;
            EXPECT_EQ(cells.at({1, col}).type, kText);
            EXPECT_EQ(cells.at({1, col}).value.toString(),
                      QString(reinterpret_cast<const QChar *>(title.data()), static_cast<qsizetype>(title.size())));
        }
        for (int i = 0; i < c.numbers.size(); ++i) {
            const XlrdCell &number = cells.at({2 + i, Column(u"Номер")});
            EXPECT_EQ(number.type, kNumber) << c.what;
            EXPECT_EQ(number.value.toDouble(), c.numbers[i]) << c.what;
            EXPECT_EQ(cells.at({2 + i, Column(u"Дата зап.")}).type, kDate) << c.what;
            EXPECT_EQ(cells.at({2 + i, Column(u"Время зап.")}).type, kText) << c.what;
        }
        ASSERT_TRUE(station->ActionClose.execute());
    }
}

TEST_F(ReportTest, CellsAreWhatTheGridShows)
{
    view().DTP1.edit(QDate(2026, 12, 7));
    view().DTP2.edit(QDate(2026, 12, 8));
    ASSERT_TRUE(station->ActionOpen.execute());
    const QString file = rig.dir.filePath(u"report.xls"_s);
    rig.op.nextSaveFile = file;
    ASSERT_TRUE(view().BtnExport.execute());
    int rows = 0;
    const Cells cells = ReadWithXlrd(file, &rows);
    ASSERT_EQ(rows, 5);
    auto at = [&](int row, const char16_t *title) { return cells.find({row, Column(title)}); };
    struct Expected {
        int row;
        const char16_t *column;
        int type;
        QJsonValue value;
    };
    const Expected expected[] = {
        {2, u"Номер", kNumber, 1234.0},
        {2, u"Дата зап.", kDate, u"2026-12-08"_s},
        {2, u"Время зап.", kText, u"10:15"_s},
        {2, u"Версия", kText, u"10.3"_s}, // a text column stays text however it reads
        {2, u"Адрес", kNumber, 5.0},
        {2, u"Дата", kDate, u"2026-12-08"_s},
        {2, u"Время", kText, u"10:14"_s},
        {2, u"Статус", kNumber, 32769.0},
        {2, u"Сброс", kText, u"нет"_s},
        {2, u"Летн. время", kText, u"да"_s},
        {2, u"T1 (тек.)", kNumber, 1.00025},
        {4, u"Дата зап.", kDate, u"2026-12-07"_s},
        {4, u"Сброс", kText, u"да"_s},
    };
    for (const Expected &e : expected) {
        const auto it = at(e.row, e.column);
        ASSERT_NE(it, cells.end()) << e.row << " " << Column(e.column);
        EXPECT_EQ(it->second.type, e.type) << e.row << " " << Column(e.column);
        EXPECT_EQ(it->second.value, e.value) << e.row << " " << Column(e.column);
    }
    // Null cells are left empty, as the grid leaves them.
    for (const char16_t *empty : {u"Дата", u"Пароль", u"ДДМ A", u"Коррекция", u"Летн. время", u"T1 (тек.)"})
        EXPECT_EQ(at(3, empty), cells.end()) << Column(empty);
}

} // namespace
} // namespace ordan::test
