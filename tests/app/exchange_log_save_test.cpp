// "Сохранить протокол…" through the station: the operator's file gets the connection's port,
// speed and address and every line since connecting; a failed write says so and leaves the
// previous file as it was.
#include "journals/journal_export.h"
#include "station_fixture.h"
#include "support/failing_sync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <optional>
#include <sys/resource.h>
#endif

namespace ordan::test {
namespace {

using namespace Qt::Literals::StringLiterals;

struct LogSaveTest : ::testing::Test {
    StationRig rig;

    Station &connectEngineering()
    {
        rig.settings.exists = true;
        rig.settings.values.insert(u"Master"_s, 1);
        Station &s = rig.start();
        s.panel().ComboBaudChange(3);
        s.panel().SpinAddr.set(0);
        s.engine().log().CheckBox_Terminal.set(true);
        s.ActionConnect.execute();
        return s;
    }
    QByteArray read(const QString &path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    }
};

TEST_F(LogSaveTest, FileHoldsTheConnectionAndEveryLineSinceConnectingPastThePage)
{
    Station &s = connectEngineering();
    // Four lines an exchange: some 600 exchanges pass the page's 1500 lines.
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.engine().log().history().size() > 2400; }, 600000));
    const ExchangeLog &log = s.engine().log();
    ASSERT_EQ(log.lineCount(), ExchangeLog::kMaxLines);

    const QString path = rig.dir.filePath(u"protocol.txt"_s);
    rig.op.nextSaveFile = path;
    s.engine().log().ActionSaveLog.execute();
    EXPECT_EQ(rig.op.lastFilter, u"Текстовый файл|*.txt"_s);
    EXPECT_EQ(rig.op.lastSuffix, u"txt"_s);
    EXPECT_TRUE(rig.op.boxes.empty());
    EXPECT_TRUE(rig.facts.opened.empty()) << "a saved log is not opened";

    const QStringList lines = QString::fromUtf8(read(path)).split(u'\n');
    ASSERT_GT(lines.size(), 2400);
    EXPECT_EQ(lines[0], u"Порт: "_s + rig.line.openPort);
    EXPECT_EQ(lines[1], u"Скорость: 9600"_s);
    EXPECT_EQ(lines[2], u"Адрес: 0"_s);
    EXPECT_TRUE(lines[3].startsWith(u"Сохранён: "_s));
    EXPECT_EQ(lines[4], QString());
    const QStringList body = lines.mid(5, static_cast<qsizetype>(log.history().size()));
    ASSERT_EQ(body.size(), static_cast<qsizetype>(log.history().size()));
    // The first request after connecting, then the page's lines as they stand.
    EXPECT_TRUE(body[0].endsWith(u" Send 00"_s)) << body[0].toStdString();
    EXPECT_TRUE(body[2].endsWith(u" Send 00 02 80 71 "_s)) << body[2].toStdString();
    const qsizetype offPage = body.size() - log.lineCount();
    // The file times every line; the page shows a message line without its time.
    for (qsizetype i = 0; i < log.lineCount(); ++i)
        ASSERT_TRUE(body[offPage + i].endsWith(log.lines()[static_cast<size_t>(i)]))
            << i << " " << body[offPage + i].toStdString();
    // Times run with virtual time from the station's clock.
    EXPECT_EQ(body[0].left(12), rig.facts.base.addMSecs(150).time().toString(u"hh:mm:ss.zzz"_s));
}

TEST_F(LogSaveTest, HeaderNamesTheConnectionsSpeedAfterADisconnectAndAnotherChoice)
{
    Station &s = connectEngineering();
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.engine().log().history().size() > 8; }, 60000));
    s.ActionDisconnect.execute();
    s.panel().ComboBaudChange(0); // 1200, chosen after the session
    const QString path = rig.dir.filePath(u"protocol.txt"_s);
    rig.op.nextSaveFile = path;
    s.engine().log().ActionSaveLog.execute();
    const QStringList lines = QString::fromUtf8(read(path)).split(u'\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines[1], u"Скорость: 9600"_s);
}

TEST_F(LogSaveTest, FailedWriteIsToldAndThePreviousFileSurvives)
{
    Station &s = connectEngineering();
    ASSERT_TRUE(rig.timers.advanceUntil([&] { return s.engine().log().history().size() > 400; }, 60000));
    const QString path = rig.dir.filePath(u"protocol.txt"_s);
    {
        QFile previous(path);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("previous log\n");
    }

    struct Case {
        const char *what;
        QString chosen;
        bool fileLimit;
        std::optional<DiskStep> failingSync = {}; // written, but its flush or folder sync fails
    };
    const Case cases[] = {
        {"no such folder", rig.dir.filePath(u"missing/protocol.txt"_s), false},
        {"a folder of that name", rig.dir.path(), false},
        // Writes beyond 1 KB fail, as on a full disk: the flush at the end must be checked.
        {"the disk fills up", path, true},
        {"the flush fails", path, false, DiskStep::Flush},
        {"the folder sync fails", path, false, DiskStep::FolderSync},
    };
    for (const Case &c : cases) {
        rig.op.boxes.clear();
        rig.op.nextSaveFile = c.chosen;
        std::optional<FailingSync> failing;
        if (c.failingSync)
            failing.emplace(*c.failingSync, u"protocol.txt"_s);
#if defined(Q_OS_UNIX)
        rlimit old{};
        if (c.fileLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit small = old;
            small.rlim_cur = 1024;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
#else
        if (c.fileLimit)
            continue; // no per-process limit on a file's size to stand in for a full disk
#endif
        s.engine().log().ActionSaveLog.execute();
#if defined(Q_OS_UNIX)
        if (c.fileLimit) {
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
        }
#endif
        ASSERT_EQ(rig.op.boxes.size(), 1u) << c.what << " " << QFileInfo(path).size();
        EXPECT_EQ(rig.op.boxes[0].text, JournalExport::FailureText()) << c.what;
        // The exchange log tells which step failed and why.
        const QString told = s.engine().log().history().back().line;
        EXPECT_TRUE(told.startsWith(JournalExport::ReportText(QString()))) << told.toStdString();
        if (c.failingSync) {
            EXPECT_EQ(told, JournalExport::ReportText(QDir::toNativeSeparators(path) + u": "_s +
                                                      FailingSync::StepText(*c.failingSync)));
        }
        // Only the folder sync comes after the rename: the file is then the new one.
        if (c.failingSync != DiskStep::FolderSync) {
            EXPECT_EQ(read(path), "previous log\n") << c.what;
        }
    }
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{u"protocol.txt"_s})
        << "no temporary file left behind";
}

} // namespace
} // namespace ordan::test
