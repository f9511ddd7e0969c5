#include "core/sync_to_disk.h"

#include "core/system_error_text.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <mutex>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace ordan {

namespace {

std::mutex faultLock;
SyncFault &Fault()
{
    static SyncFault fault;
    return fault;
}

Status Injected(DiskStep step, const QString &path)
{
    const std::lock_guard lock(faultLock);
    return Fault() ? Fault()(step, path) : Status();
}

QString ErrnoText(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

} // namespace

QString DiskStepFailure(DiskStep step, const QString &reason)
{
    switch (step) {
    case DiskStep::Write: return QStringLiteral("ошибка записи (%1)").arg(reason);
    case DiskStep::Flush: return QStringLiteral("ошибка сброса на диск (%1)").arg(reason);
    case DiskStep::Rename: return QStringLiteral("ошибка переименования (%1)").arg(reason);
    case DiskStep::FolderSync: return QStringLiteral("ошибка сброса папки на диск (%1)").arg(reason);
    }
    return reason;
}

Status SyncToDisk(QFile &file)
{
    if (const Status injected = Injected(DiskStep::Flush, file.fileName()); !injected)
        return Fail(DiskStepFailure(DiskStep::Flush, injected.error()));
    if (!file.flush())
        return Fail(DiskStepFailure(DiskStep::Flush, SystemErrorText(file.errorString())));
#if defined(Q_OS_UNIX)
    if (::fsync(file.handle()) != 0)
        return Fail(DiskStepFailure(DiskStep::Flush, ErrnoText(errno)));
#elif defined(Q_OS_WIN)
    if (::_commit(file.handle()) != 0)
        return Fail(DiskStepFailure(DiskStep::Flush, ErrnoText(errno)));
#endif
    return {};
}

Status SyncFolderOf(const QString &path)
{
    if (const Status injected = Injected(DiskStep::FolderSync, path); !injected)
        return Fail(DiskStepFailure(DiskStep::FolderSync, injected.error()));
#if defined(Q_OS_UNIX)
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return Fail(DiskStepFailure(DiskStep::FolderSync, ErrnoText(errno)));
    const int synced = ::fsync(fd);
    const int code = errno;
    ::close(fd);
    // EINVAL: a folder this file system cannot sync, which loses nothing by it.
    if (synced != 0 && code != EINVAL)
        return Fail(DiskStepFailure(DiskStep::FolderSync, ErrnoText(code)));
#endif
    // Windows: the rename is written through (MOVEFILE_WRITE_THROUGH) and a folder has no sync.
    return {};
}

void SetSyncFaultForTests(SyncFault fault)
{
    const std::lock_guard lock(faultLock);
    Fault() = std::move(fault);
}

} // namespace ordan
