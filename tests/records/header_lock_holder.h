#pragma once

// Holds a dBase table's header lock as another station's append does, until released or
// destroyed. Closing the file ends the lock on both systems.

#include <QFile>
#include <QString>
#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#endif

namespace ordan::test {

class HeaderLockHolder {
public:
    HeaderLockHolder(const QString &path, qint64 offset) : file_(path)
    {
        if (!file_.open(QIODevice::ReadWrite))
            return;
#if defined(Q_OS_WIN)
        const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file_.handle()));
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        held_ = ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
#else
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = offset;
        lock.l_len = 1;
        held_ = ::fcntl(file_.handle(), F_OFD_SETLK, &lock) == 0;
#endif
    }

    bool held() const { return held_; }
    void release()
    {
        file_.close();
        held_ = false;
    }

private:
    QFile file_;
    bool held_ = false;
};

} // namespace ordan::test
