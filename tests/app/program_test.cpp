// The installed programs as a shell or the desktop menu starts them: --help and --version with
// no display at all, and the launcher of the desktop entry.
#include "app/command_line.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace ordan {
namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

// The program with no display of any kind in its environment.
ProgramRun RunWithoutDisplay(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &base = QProcessEnvironment::systemEnvironment())
{
    QProcessEnvironment env = base;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(Program, HelpAndVersionNeedNoDisplay)
{
    const ProgramRun version =
        RunWithoutDisplay(test::BinPath(QStringLiteral("ordan-klv")), {QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, CommandLineVersion());
    EXPECT_EQ(version.out, QStringLiteral("ordan-klv 1.5\n"));

    for (const QString &option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const ProgramRun help = RunWithoutDisplay(test::BinPath(QStringLiteral("ordan-klv")), {option});
        EXPECT_EQ(help.status, 0) << help.err.toStdString();
        EXPECT_EQ(help.out, CommandLineHelp()) << option.toStdString();
        EXPECT_TRUE(help.out.contains(QStringLiteral("--version")));
    }
}

TEST(Program, TheLauncherWorksInTheOperatorsFolderAndPassesOptionsOn)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    const QString launcher = test::BinPath(QStringLiteral("ordan-klv-start"));
    const QDir folder(QDir(home.path()).filePath(QStringLiteral("Ordan-KLV")));
    const QString table = folder.filePath(QStringLiteral("Setting.DBF"));

    // First start: the folder and an empty settings log appear; the option reaches the station.
    const ProgramRun first = RunWithoutDisplay(launcher, {QStringLiteral("--version")}, env);
    EXPECT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(first.out, CommandLineVersion()) << "only the station's own answer on standard output";
    ASSERT_TRUE(QFileInfo(table).isFile());
    const qint64 emptySize = QFileInfo(table).size();
    EXPECT_GT(emptySize, 0);

    // The station runs in that folder: a relative path lands there.
    const ProgramRun second =
        RunWithoutDisplay(launcher, {QStringLiteral("--create-setting-table"), QStringLiteral("copy.DBF")}, env);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("copy.DBF"))).isFile());

    // A log with rows is never replaced at a later start.
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray(100, ' '));
    file.close();
    const ProgramRun third = RunWithoutDisplay(launcher, {QStringLiteral("--version")}, env);
    EXPECT_EQ(third.status, 0);
    EXPECT_EQ(QFileInfo(table).size(), emptySize + 100);
}

} // namespace
} // namespace ordan
