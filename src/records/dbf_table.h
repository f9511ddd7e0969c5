#pragma once

#include "core/timings.h"
#include "records/dbf_format.h"
#include "records/local_table.h"

#include <QString>

#include <functional>

namespace ordan {

// The settings log on a dBase file. Every operation opens the file, reads its header
// again (another program may have changed it) and closes it; nothing is cached.
//
// Reads dBase III/IV/5, FoxPro and level 7 tables; finds the columns by name in any case
// and order and ignores the others. Appending never rewrites the file: the record goes
// after the last counted one, and the header's count changes only once the record is
// on disk, so a crash at any point leaves a valid table with or without the new row.
// Appends of several programs to one table (a shared working folder) take turns under
// the dBase header lock; readers take no lock and are never held up.
class DbfTable final : public LocalTable {
public:
    explicit DbfTable(QString path);

    const QString &path() const { return path_; }

    // The header and field descriptors as they are on disk now.
    Result<dbf::Header> open() const;

    // Visits every record not marked deleted, in stored order, presented as PresentRow does.
    Status forEachRow(const std::function<void(const LocalRow &)> &visit) const;

    Status append(const LocalRow &values) override;
    Result<QList<LocalRow>> select(const LocalFilter &filter) const override;
    Result<QVariant> maxNumber() const override;
    Result<LatestDay> latestDay() const override;
    Result<qsizetype> rowCount() const override;

    // Writes an empty dBase III/IV table; an existing file is never overwritten.
    static Status Create(const QString &path, const QList<dbf::FieldSpec> &fields);

    // The durable steps of an append, for crash tests: the record is written behind an
    // end-of-file mark, then marked active, then counted in the header.
    enum class AppendStage { RecordWritten, RecordActive, HeaderCounted };
    void setStageHook(std::function<void(AppendStage)> hook) { stageHook_ = std::move(hook); }

    // How long an append waits for another program's append to finish before it gives up.
    static constexpr int kDefaultLockTimeoutMs = timing::Ms(timing::kSettingTableLockWait);
    void setLockTimeout(int ms) { lockTimeoutMs_ = ms; }

private:
    // Every failure names the file first.
    Failure fail(const QString &reason) const;

    QString path_;
    std::function<void(AppendStage)> stageHook_;
    int lockTimeoutMs_ = kDefaultLockTimeoutMs;
};

} // namespace ordan
