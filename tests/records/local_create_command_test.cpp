// ordan-klv --create-setting-table: an empty table the independent reader accepts, and
// never a second one over the first.
#include "dbf_test_files.h"
#include "records/dbf_table.h"
#include "records/local_create_command.h"
#include "records/setting_table.h"
#include "support/failing_sync.h"
#include "support/result_checks.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>

namespace ordan::test {
namespace {

QString S(const char *text) { return QString::fromUtf8(text); }

// What the command printed on one of its streams.
class Captured {
public:
    Captured() : file_(std::tmpfile()) {}
    ~Captured() { std::fclose(file_); }
    std::FILE *file() const { return file_; }
    QString text() const
    {
        std::fflush(file_);
        std::rewind(file_);
        QByteArray bytes;
        char buffer[256];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, file_))
            bytes.append(buffer, static_cast<qsizetype>(n));
        return QString::fromUtf8(bytes);
    }

private:
    std::FILE *file_;
};

TEST(LocalCreateCommand, DefaultsToSettingDbfInTheWorkingDirectory)
{
    EXPECT_EQ(DefaultSettingTablePath(S("/bench/station")), S("/bench/station/Setting.DBF"));
}

TEST(LocalCreateCommand, WritesAnEmptyTableWithEveryColumn)
{
    QTemporaryDir dir;
    const QString path = DefaultSettingTablePath(dir.path());
    Captured out, err;
    EXPECT_EQ(RunCreateSettingTable(path, out.file(), err.file()), 0);
    EXPECT_TRUE(out.text().contains(QDir::toNativeSeparators(path))) << out.text().toStdString();
    EXPECT_EQ(err.text(), QString());

    QString error;
    const auto json = ReadWithDbfread(path, &error);
    ASSERT_TRUE(json) << error.toStdString();
    EXPECT_EQ((*json)[S("numrecords")].toInt(-1), 0);
    QStringList names;
    for (const QJsonValue &f : (*json)[S("fields")].toArray())
        names.append(f.toObject()[S("name")].toString());
    QStringList expected;
    for (const SettingColumn &c : kSettingColumns)
        expected.append(ColumnName(c));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Noted(DbfTable(path).rowCount(), error), 0);
}

TEST(LocalCreateCommand, RefusesToOverwriteAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = DefaultSettingTablePath(dir.path());
    ASSERT_TRUE(WriteFile(path, QByteArray("the log of last year")));
    Captured out, err;
    EXPECT_EQ(RunCreateSettingTable(path, out.file(), err.file()), 1);
    EXPECT_EQ(out.text(), QString());
    EXPECT_TRUE(err.text().contains(S("файл уже существует"))) << err.text().toStdString();
    EXPECT_EQ(ReadFile(path), QByteArray("the log of last year"));
}

TEST(LocalCreateCommand, ReportsAFolderThatIsNotThere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(S("no/such/folder/Setting.DBF"));
    Captured out, err;
    EXPECT_EQ(RunCreateSettingTable(path, out.file(), err.file()), 1);
    EXPECT_FALSE(err.text().isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST(LocalCreateCommand, ReportsAFailedFlushOrFolderSyncAndLeavesNoFile)
{
    for (const DiskStep step : {DiskStep::Flush, DiskStep::FolderSync}) {
        QTemporaryDir dir;
        const QString path = DefaultSettingTablePath(dir.path());
        const FailingSync failing(step, S("Setting.DBF"));
        Captured out, err;
        EXPECT_EQ(RunCreateSettingTable(path, out.file(), err.file()), 1);
        EXPECT_EQ(out.text(), QString());
        EXPECT_TRUE(err.text().contains(QDir::toNativeSeparators(path) + S(": ") + FailingSync::StepText(step)))
            << err.text().toStdString();
        EXPECT_FALSE(QFile::exists(path));
    }
}

} // namespace
} // namespace ordan::test
