#pragma once

class QFile;

namespace ordan {

// Flushes Qt's buffer and forces the file's data to the disk; false when either fails (a full
// disk or a network share may report a lost write only here).
bool SyncToDisk(QFile &file);

} // namespace ordan
