#pragma once

// A small file system of its own (tmpfs) for full-disk tests. Mounting needs root on Linux;
// without it, elsewhere, or where the system refuses the mount, the test skips with the reason.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>
#endif

namespace ordan::test {

class SmallDisk {
public:
    explicit SmallDisk(int kib)
    {
        if (!dir_.isValid()) {
            why_ = QStringLiteral("no temporary folder");
            return;
        }
#if !defined(Q_OS_LINUX)
        Q_UNUSED(kib);
        why_ = QStringLiteral("a size-limited tmpfs needs Linux");
#else
        if (::geteuid() != 0) {
            why_ = QStringLiteral("mounting a small tmpfs needs root");
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(kib) + "k";
        if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) != 0) {
            why_ = QStringLiteral("tmpfs not mounted: ") + QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
#endif
    }
    ~SmallDisk()
    {
#if defined(Q_OS_LINUX)
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
#endif
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return mounted_; }
    const QString &whyNot() const { return why_; }
    QString filePath(const QString &name) const { return QDir(dir_.path()).filePath(name); }

    // Fills the disk with a file until a write fails, then gives `freeBytes` back.
    bool fill(qint64 freeBytes)
    {
        QFile filler(filePath(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        qint64 size = 0;
        for (;;) {
            const qint64 n = filler.write(block);
            if (n <= 0)
                break;
            size += n;
        }
        return filler.resize(size > freeBytes ? size - freeBytes : 0);
    }
    // Frees the whole filler again.
    bool emptyFiller() { return QFile::remove(filePath(QStringLiteral("filler"))); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString why_;
};

} // namespace ordan::test
