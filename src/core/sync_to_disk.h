#pragma once

#include "core/result.h"

#include <QString>

#include <functional>

class QFile;

namespace ordan {

// The steps of putting a file on disk; a failure names the one it happened in.
enum class DiskStep { Write, Flush, Rename, FolderSync };

// "ошибка записи (<reason>)" and the like: the step that failed and the system's reason.
QString DiskStepFailure(DiskStep step, const QString &reason);

// Flushes Qt's buffer and forces the file's data to the disk (a full disk or a network share
// may report a lost write only here); a failure names the flush and the system's reason.
Status SyncToDisk(QFile &file);

// Forces the folder holding `path` to the disk: a rename or a new file's name lasts through a
// power cut only then. A folder the system cannot sync at all (some shares) is no failure.
Status SyncFolderOf(const QString &path);

// A stand-in for the system's answer, for tests: asked before every flush (with the file's
// path) and every folder sync (with the path of the file in it); a failure it returns is
// reported as the system's reason. An empty function restores the system's own answers.
using SyncFault = std::function<Status(DiskStep step, const QString &path)>;
void SetSyncFaultForTests(SyncFault fault);

} // namespace ordan
