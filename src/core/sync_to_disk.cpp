#include "core/sync_to_disk.h"

#include <QFile>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace ordan {

bool SyncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#if defined(Q_OS_UNIX)
    return ::fsync(file.handle()) == 0;
#elif defined(Q_OS_WIN)
    return ::_commit(file.handle()) == 0;
#else
    return true;
#endif
}

} // namespace ordan
