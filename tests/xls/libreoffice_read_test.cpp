// An exported journal as LibreOffice sees it: converted by LibreOffice headless and the result
// read with xlrd. LibreOffice is stricter than xlrd about the order of a worksheet's records,
// so a page header out of place is lost there while xlrd still finds it.
#include "support/result_checks.h"
#include "support/test_support.h"
#include "xls/xls_workbook.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

constexpr int kXlrdText = 1;
constexpr int kXlrdNumber = 2;
constexpr int kXlrdBlank = 6;

// LibreOffice rewrites the workbook as .xls in `out`; the path of that copy.
QString ConvertWithLibreOffice(const QString &file, const QTemporaryDir &work)
{
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    EXPECT_FALSE(soffice.isEmpty()) << "LibreOffice (libreoffice-calc-nogui) is not installed";
    if (soffice.isEmpty())
        return {};
    const QString out = work.filePath(u"converted"_s);
    QDir().mkpath(out);
    QProcess lo;
    // A profile of its own, so that parallel runs and a running LibreOffice do not collide.
    lo.start(soffice,
             {u"-env:UserInstallation="_s + QUrl::fromLocalFile(work.filePath(u"profile"_s)).toString(),
              u"--headless"_s, u"--norestore"_s, u"--convert-to"_s, u"xls:MS Excel 97"_s, u"--outdir"_s, out, file});
    const bool finished = lo.waitForFinished(180000);
    EXPECT_TRUE(finished && lo.exitStatus() == QProcess::NormalExit && lo.exitCode() == 0)
        << lo.readAllStandardError().toStdString();
    const QString converted = QDir(out).filePath(QFileInfo(file).fileName());
    EXPECT_TRUE(QFileInfo::exists(converted)) << lo.readAllStandardOutput().toStdString();
    return converted;
}

QJsonObject ReadWithXlrd(const QString &file)
{
    QProcess python;
    test::StartPythonReader(python, {QString::fromUtf8(ORDAN_XLS_READER_SCRIPT), file});
    const bool finished = python.waitForFinished(120000);
    EXPECT_TRUE(finished && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0)
        << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

TEST(LibreOfficeRead, ExportedJournalKeepsHeaderFooterAndEveryCell)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString blank = work.filePath(u"1new.xls"_s);
    const QString file = work.filePath(u"journal.xls"_s);
    QString error;
    ASSERT_TRUE(Succeeded(XlsWorkbook::CreateBlank(blank), error)) << error.toStdString();
    XlsWorkbook book;
    ASSERT_TRUE(Succeeded(book.open(blank), error)) << error.toStdString();

    // The consumption journal's layout: the title row, the captions, then the records, with
    // texts, numbers and empty texts; enough rows for several row blocks.
    std::map<std::pair<int, int>, XlsValue> written;
    auto set = [&](int row, int column, XlsValue value) {
        ASSERT_TRUE(std::holds_alternative<QString>(value) ? book.setCell(row, column, std::get<QString>(value))
                                                           : book.setCell(row, column, std::get<double>(value)));
        written[{row, column}] = value;
    };
    set(1, 1, u"Журнал потребления Счетчик № 1234, "_s);
    for (int c = 2; c <= 8; ++c)
        set(1, c, QString());
    const QStringList captions = {u"Страница"_s, u"Запись"_s,  u"Время"_s,  u"1 тариф"_s,
                                  u"2 тариф"_s,  u"3 тариф"_s, u"Статус"_s, u"Наработка"_s};
    for (int c = 0; c < 8; ++c)
        set(2, c + 1, captions[c]);
    for (int r = 0; r < 70; ++r) {
        const int row = r + 3;
        set(row, 1, double(r / 4));
        set(row, 2, double(r % 4));
        set(row, 3, u"%1.12.26 %2:00"_s.arg(r % 28 + 1, 2, 10, QLatin1Char('0')).arg(r % 24));
        set(row, 4, r * 1.25 + 0.00025);
        set(row, 5, r % 3 ? XlsValue(r * 0.5) : XlsValue(QString()));
        set(row, 6, 12345.6789);
        set(row, 7, double(r % 8));
        set(row, 8, u"%1:30"_s.arg(1000 + r));
    }
    ASSERT_TRUE(Succeeded(book.save(file), error)) << error.toStdString();
    book.close();

    const QString converted = ConvertWithLibreOffice(file, work);
    ASSERT_FALSE(converted.isEmpty());
    const QJsonObject r = ReadWithXlrd(converted);
    const QJsonArray sheets = r.value(u"sheets"_s).toArray();
    ASSERT_EQ(sheets.size(), 3);
    QStringList names;
    for (const QJsonValue &s : sheets)
        names << s.toObject().value(u"name"_s).toString();
    EXPECT_EQ(names, (QStringList{u"Лист1"_s, u"Лист2"_s, u"Лист3"_s}));

    // LibreOffice writes the header and footer back in its own spelling: the font, the size
    // and the centred sheet name and page number must survive.
    for (const QJsonValue &s : sheets) {
        const QString header = s.toObject().value(u"header"_s).toString();
        const QString footer = s.toObject().value(u"footer"_s).toString();
        EXPECT_TRUE(header.startsWith(u"&C"_s)) << header.toStdString();
        EXPECT_TRUE(header.contains(u"Times New Roman"_s)) << header.toStdString();
        EXPECT_TRUE(header.contains(u"&12"_s)) << header.toStdString();
        EXPECT_TRUE(header.endsWith(u"&A"_s)) << header.toStdString();
        EXPECT_TRUE(footer.startsWith(u"&C"_s)) << footer.toStdString();
        EXPECT_TRUE(footer.contains(u"Times New Roman"_s)) << footer.toStdString();
        EXPECT_TRUE(footer.endsWith(u"Страница &P"_s)) << footer.toStdString();
    }

    // Every cell: texts as texts, numbers as numbers; an empty text may come back blank.
    std::map<std::pair<int, int>, std::pair<int, QJsonValue>> read;
    for (const QJsonValue &v : sheets[0].toObject().value(u"cells"_s).toArray()) {
        const QJsonArray c = v.toArray();
        read[{c[0].toInt() + 1, c[1].toInt() + 1}] = {c[2].toInt(), c[3]};
    }
    for (const auto &[at, value] : written) {
        const auto it = read.find(at);
        const std::string where = std::to_string(at.first) + "," + std::to_string(at.second);
        if (const QString *text = std::get_if<QString>(&value)) {
            if (text->isEmpty()) {
                EXPECT_TRUE(it == read.end() || it->second.first == kXlrdBlank ||
                            (it->second.first == kXlrdText && it->second.second.toString().isEmpty()))
                    << where;
                continue;
            }
            ASSERT_NE(it, read.end()) << where;
            EXPECT_EQ(it->second.first, kXlrdText) << where;
            EXPECT_EQ(it->second.second.toString(), *text) << where;
        } else {
            ASSERT_NE(it, read.end()) << where;
            EXPECT_EQ(it->second.first, kXlrdNumber) << where;
            EXPECT_DOUBLE_EQ(it->second.second.toDouble(), std::get<double>(value)) << where;
        }
    }
    for (const auto &[at, value] : read)
        EXPECT_TRUE(written.count(at)) << "a cell nobody wrote: " << at.first << "," << at.second;
    for (int i = 1; i < 3; ++i)
        EXPECT_TRUE(sheets[i].toObject().value(u"cells"_s).toArray().isEmpty()) << i;
}

} // namespace
} // namespace ordan
