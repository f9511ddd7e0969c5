#include "support/test_support.h"
#include "ui/about_box.h"
#include "ui/about_text.h"
#include "ui/help_file.h"
#include "ui/help_window.h"
#include "ui/rtf_reader.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace ordan {
namespace {

QString PlainText(const QString &html)
{
    QTextEdit edit;
    edit.setHtml(html);
    return edit.toPlainText();
}

TEST(Rtf, TextEscapesAndSkippedDestinations)
{
    const struct {
        const char *rtf;
        const char *text;
    } cases[] = {
        {"{\\rtf1\\ansi Hello\\par World}", "Hello\nWorld"},
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}Text}", "Text"},
        {"{\\rtf1\\uc1 \\u1055?\\u1088?\\u1080?}", "При"},
        {"{\\rtf1\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\'a8\\'b8}", "Привет Ёё"},
        {"{\\rtf1 a\\{b\\}c\\\\d}", "a{b}c\\d"},
        {"{\\rtf1 {\\*\\generator Writer;}x{\\*\\unknown y}z}", "xz"},
        {"{\\rtf1 \\b bold\\b0  and \\i it\\i0}", "bold and it"},
        {"{\\rtf1 <tag>&}", "<tag>&"},
    };
    for (const auto &c : cases) {
        const auto html = RtfToHtml(QByteArray(c.rtf));
        ASSERT_TRUE(html.ok()) << c.rtf;
        EXPECT_EQ(PlainText(*html), QString::fromUtf8(c.text)) << c.rtf;
    }
    EXPECT_EQ(RtfToHtml("plain text").error(), QStringLiteral("не является документом RTF"));
    EXPECT_FALSE(RtfToHtml("").ok());
}

TEST(Rtf, DamagedInputEndsWithoutReadingPastIt)
{
    for (const char *rtf : {"{\\rtf1 \\'", "{\\rtf1 \\'4", "{\\rtf1 \\u", "{\\rtf1 \\u-", "{\\rtf1 }}}}}{{{{",
                            "{\\rtf1 \\fs99999999999 x", "{\\rtf1 \\u1055", "{\\rtf1 \\"})
        EXPECT_TRUE(RtfToHtml(QByteArray(rtf)).ok()) << rtf;
}

TEST(Rtf, TheShippedHelpFileReads)
{
    QFile file(QDir(qEnvironmentVariable("ORDAN_SOURCE_DIR")).filePath(QStringLiteral("resources/Help_ordan_klv.rtf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto html = RtfToHtml(file.readAll());
    ASSERT_TRUE(html.ok());
    const QString text = PlainText(*html);
    EXPECT_TRUE(text.contains(QStringLiteral("Программирование ОРДАН-04-3ТГ и Велм 732")));
    EXPECT_TRUE(text.contains(QStringLiteral("Тарифное расписание")));
    EXPECT_TRUE(text.contains(QStringLiteral("Setting.DBF")));
}

TEST(HelpWindow, LoadsTheFileOrSaysWhyNot)
{
    HelpWindow help;
    EXPECT_EQ(help.windowTitle(), QStringLiteral("Справка"));
    QTemporaryDir dir;
    const auto missing = help.load(dir.filePath(HelpWindow::HelpFileName()));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().startsWith(QStringLiteral("Не удается открыть файл \"")))
        << missing.error().toStdString();
    EXPECT_TRUE(help.view()->toPlainText().isEmpty());
    QFile file(dir.filePath(HelpWindow::HelpFileName()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 \\u1057?\\u1087?\\u1088?\\u1072?\\u1074?\\u1082?\\u1072?}");
    file.close();
    EXPECT_TRUE(help.load(file.fileName()).ok());
    EXPECT_EQ(help.view()->toPlainText(), QStringLiteral("Справка"));

    HelpWindow other;
    QFile plain(dir.filePath(QStringLiteral("plain.rtf")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("plain text");
    plain.close();
    EXPECT_EQ(other.load(plain.fileName()).error(),
              QStringLiteral("Файл \"%1\" не является документом RTF").arg(plain.fileName()));
    EXPECT_TRUE(other.view()->toPlainText().isEmpty());
}

TEST(HelpWindow, RefusesAFileTooLargeToBeAHelpFile)
{
    HelpWindow help;
    QTemporaryDir dir;
    QFile file(dir.filePath(HelpWindow::HelpFileName()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 \\u1057?}");
    // Sparse: the size of a huge file without writing it. A file of the limit itself is read.
    ASSERT_TRUE(file.resize(HelpWindow::kMaxHelpFileBytes));
    file.close();
    const Status atLimit = help.load(file.fileName());
    EXPECT_TRUE(atLimit.ok()) << atLimit.error().toStdString();
    ASSERT_TRUE(file.resize(HelpWindow::kMaxHelpFileBytes + 1));
    HelpWindow other;
    const Status loaded = other.load(file.fileName());
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(loaded.error().startsWith(QStringLiteral("Не удается открыть файл \"") + file.fileName()))
        << loaded.error().toStdString();
    EXPECT_TRUE(loaded.error().contains(QStringLiteral("16 МБ"))) << loaded.error().toStdString();
    EXPECT_TRUE(other.view()->toPlainText().isEmpty());
}

TEST(HelpFile, WorkingDirectoryThenInstalledDataThenBesideTheProgram)
{
    QTemporaryDir root;
    const QDir r(root.path());
    const QString work = r.filePath(QStringLiteral("work"));
    const QString bin = r.filePath(QStringLiteral("usr/bin"));
    const QString data = r.filePath(QStringLiteral("usr/share/ordan-klv"));
    const struct {
        const char *name;
        bool inWork, inData, inBin;
        QString expected;
    } cases[] = {
        {"everywhere", true, true, true, work},
        {"installed and beside", false, true, true, data},
        {"only beside the program", false, false, true, bin},
        {"only in the working directory", true, false, false, work},
        {"nowhere: the working directory's path for the error", false, false, false, work},
    };
    for (const auto &c : cases) {
        for (const QString &folder : {work, data, bin}) {
            QDir(folder).removeRecursively();
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        const std::pair<bool, QString> copies[] = {{c.inWork, work}, {c.inData, data}, {c.inBin, bin}};
        for (const auto &[present, folder] : copies) {
            QFile f(QDir(folder).filePath(HelpWindow::HelpFileName()));
            if (present) {
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            }
        }
        EXPECT_EQ(LocateHelpFile(work, bin), QDir(c.expected).filePath(HelpWindow::HelpFileName())) << c.name;
    }
}

TEST(About, MemoryLinesWithThousandsSeparators)
{
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(TotalMemoryLine(2ull * 1024 * 1024 * 1024, c), QStringLiteral("Всего физической памяти: 2,097,152 KB"));
    EXPECT_EQ(AvailableMemoryLine(1000, c), QStringLiteral("Доступно физической памяти: 1 KB"));
    EXPECT_EQ(AvailableMemoryLine(511, c), QStringLiteral("Доступно физической памяти: 0 KB"));
    EXPECT_EQ(TotalMemoryLine(0, c), QStringLiteral("Всего физической памяти:  KB"));
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(TotalMemoryLine(2ull * 1024 * 1024 * 1024, ru), QStringLiteral("Всего физической памяти: 2") +
                                                                  ru.groupSeparator() + QStringLiteral("097") +
                                                                  ru.groupSeparator() + QStringLiteral("152 KB"));
}

TEST(About, MemoryIsReadAgainAtEveryShowingAndLinksGoToTheShell)
{
    test::LocaleScope locale(QLocale(QLocale::English, QLocale::UnitedStates));
    test::FakeSystemFacts facts;
    AboutBox about(facts);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("О программе"));
    about.show();
    EXPECT_EQ(about.totalMemoryLabel()->text(), QStringLiteral("Всего физической памяти: 2,097,152 KB"));
    about.hide();
    facts.availableMemory = 4096;
    about.show();
    EXPECT_EQ(about.availableMemoryLabel()->text(), QStringLiteral("Доступно физической памяти: 4 KB"));
    auto *web = about.findChild<QLabel *>(QStringLiteral("Label3"));
    auto *mail = about.findChild<QLabel *>(QStringLiteral("Label6"));
    ASSERT_NE(web, nullptr);
    ASSERT_NE(mail, nullptr);
    Q_EMIT web->linkActivated(QStringLiteral("#"));
    Q_EMIT mail->linkActivated(QStringLiteral("#"));
    ASSERT_EQ(facts.opened.size(), 2u);
    EXPECT_EQ(facts.opened[0], QUrl(AboutBox::WebAddress()));
    EXPECT_EQ(facts.opened[1].toString(), QStringLiteral("mailto:") + AboutBox::EmailAddress());
}

// Every text of the box is shown whole, inside the box.
TEST(About, NothingIsCutOff)
{
    test::FakeSystemFacts facts;
    AboutBox about(facts);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(about.size(), QSize(394, 281));
    for (const char *name : {"ProductName", "Label11", "Version", "Label3", "Label6", "Label8", "Label9", "Label1",
                             "Label2", "OKButton", "Image1", "Image2"}) {
        auto *w = about.findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_GE(w->width(), w->sizeHint().width()) << name;
        EXPECT_GE(w->height(), w->sizeHint().height()) << name;
        const QRect r(w->mapTo(&about, QPoint(0, 0)), w->size());
        EXPECT_TRUE(about.rect().contains(r)) << name;
        // Nothing it is inside cuts it either.
        for (QWidget *p = w->parentWidget(); p && p != &about; p = p->parentWidget())
            EXPECT_TRUE(QRect(p->mapTo(&about, QPoint(0, 0)), p->size()).contains(r)) << name;
    }
}

// 640 x 480 is the help window with its frame.
TEST(HelpWindow, OuterSizeIncludesTheFrame)
{
    HelpWindow help;
    help.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&help));
    EXPECT_EQ(help.frameGeometry().size(), QSize(640, 480));
    EXPECT_EQ(help.size() + (help.frameGeometry().size() - help.geometry().size()), QSize(640, 480));
}

} // namespace
} // namespace ordan
