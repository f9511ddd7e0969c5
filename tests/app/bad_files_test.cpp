// The whole program (StationApp with its real boxes and windows) started over bad files and
// paths, against meter-sim: each gives its message, and the station stays usable.
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/station.h"
#include "app/station_app.h"
#include "journals/journals.h"
#include "link/engine.h"
#include "link/port_list.h"
#include "meter/meter_panel.h"
#include "records/local_create_command.h"
#include "records/setting_table.h"
#include "support/meter_sim_process.h"
#include "support/result_checks.h"
#include "support/test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace ordan {
namespace {

// Root writes past a folder's mode; Windows has no such account.
bool RunsAsRoot()
{
#if defined(Q_OS_UNIX)
    return ::geteuid() == 0;
#else
    return false;
#endif
}

QString S(const char *text) { return QString::fromUtf8(text); }

QMessageBox *OpenBox()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// Waits for the next box, closes it as the operator would and returns its text.
QString CloseNextBox(int waitMs = 5000)
{
    QMessageBox *box = nullptr;
    if (!QTest::qWaitFor([&] { return (box = OpenBox()) != nullptr; }, waitMs))
        return {};
    const QString text = box->text();
    box->button(QMessageBox::Ok)->click();
    QTest::qWait(50);
    return text;
}

class BadFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<test::MeterSimProcess>(QStringList{QStringLiteral("--baud"), QStringLiteral("9600")});
        device = sim->device();
        ASSERT_FALSE(device.isEmpty());
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w))
                box->close();
        app.reset();
        sim.reset();
    }

    QString path(const char *name) const { return QDir(dir.path()).filePath(QString::fromLatin1(name)); }
    void withHelpFile()
    {
        ASSERT_TRUE(QFile::copy(test::BinPath(QStringLiteral("Help_ordan_klv.rtf")), path("Help_ordan_klv.rtf")));
    }
    void withSettingTable()
    {
        QString error;
        ASSERT_TRUE(Succeeded(CreateSettingTable(path("Setting.DBF")), error)) << error.toStdString();
    }
    void start()
    {
        CommandLine options;
        options.port = device;
        options.baud = 9600;
        options.connect = true;
        app = std::make_unique<StationApp>(options, dir.path());
        app->show();
    }
    Station &station() { return app->station(); }
    // The meter's identity has been read: the link, the engine and the decoders all work.
    bool polls()
    {
        const qint32 sent = station().engine().sendCount();
        return QTest::qWaitFor(
            [&] {
                return station().engine().sendCount() > sent + 13 &&
                       station().meter().parameters().SpinEdit_Number.value() == 77881;
            },
            15000);
    }

    std::unique_ptr<test::MeterSimProcess> sim;
    QString device;
    QTemporaryDir dir;
    std::unique_ptr<StationApp> app;
};

TEST_F(BadFiles, CorruptSettingTable)
{
    withHelpFile();
    QFile junk(path("Setting.DBF"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(3, '\x03') + QByteArray(200, '\xEE'));
    junk.close();
    start();
    const QString text = CloseNextBox();
    EXPECT_TRUE(text.contains(S("Setting.DBF"))) << text.toStdString();
    EXPECT_TRUE(polls());

    // A write still goes to the meter; the lost row is told, and polling goes on.
    MeterParameters &p = station().meter().parameters();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.ActionSetting.isEnabled(); }, 5000));
    p.ActionSetting.execute();
    const QString recordError = CloseNextBox(15000);
    EXPECT_TRUE(recordError.startsWith(S("Ошибка записи в БД: "))) << recordError.toStdString();
    EXPECT_TRUE(polls());
    EXPECT_EQ(junk.size(), 203) << "the damaged file is left as it was";
}

TEST_F(BadFiles, MissingHelpFile)
{
    withSettingTable();
    start();
    const QString text = CloseNextBox();
    EXPECT_TRUE(text.contains(S("Help_ordan_klv.rtf"))) << text.toStdString();
    EXPECT_TRUE(polls());
}

TEST_F(BadFiles, NonWritableExportDirectory)
{
    withHelpFile();
    withSettingTable();
    // Root writes into any directory whose mode forbids it; /proc takes no new files at all.
    QString target;
    QTemporaryDir locked;
    if (RunsAsRoot()) {
        target = QStringLiteral("/proc/ordan-journal.xls");
    } else {
        ASSERT_TRUE(QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        target = QDir(locked.path()).filePath(QStringLiteral("journal.xls"));
    }
    start();
    ASSERT_TRUE(polls());
    station().journals().BtnDiaryClick();
    QFileDialog *dialog = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (dialog = app->mainWindow().findChild<QFileDialog *>()) != nullptr; }, 5000));
    Q_EMIT dialog->fileSelected(target);
    static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    const QString text = CloseNextBox();
    EXPECT_FALSE(text.isEmpty()) << "the failed export is told";
    EXPECT_FALSE(QFile::exists(target));
    QFile::setPermissions(locked.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_TRUE(QDir(locked.path()).isEmpty()) << "no temporary workbook is left behind";
    EXPECT_TRUE(polls());
}

TEST_F(BadFiles, EachCommandLineSpeedIsTheOneTheStationStartsWith)
{
    withHelpFile();
    withSettingTable();
    for (const int baud : kBaudRates) {
        CommandLine options;
        options.baud = baud;
        app = std::make_unique<StationApp>(options, dir.path());
        EXPECT_EQ(station().panel().baud(), baud);
    }
}

TEST_F(BadFiles, UnreachableDatabaseAtStart)
{
    withHelpFile();
    // Database mode, with no data source "Electrometer" anywhere the driver manager looks.
    QFile marker(path("SettingSql.velm"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    QFile ini(path("odbc.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();
    qputenv("ODBCINI", path("odbc.ini").toLocal8Bit());
    qputenv("ODBCSYSINI", dir.path().toLocal8Bit());
    start();
    const QString text = CloseNextBox();
    EXPECT_FALSE(text.isEmpty()) << "the failed connection is told";
    EXPECT_TRUE(polls());
    // Closing the box activates the main window again; that must not bring the box back in a loop.
    int more = 0;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 4000) {
        const QString again = CloseNextBox(200);
        if (!again.isEmpty())
            std::printf("box again at %lld ms: %s\n", t.elapsed(), qPrintable(again));
        more += !again.isEmpty();
    }
    EXPECT_LE(more, 1) << "closing a box does not bring it back in a loop";
    EXPECT_TRUE(polls());
}

} // namespace
} // namespace ordan
