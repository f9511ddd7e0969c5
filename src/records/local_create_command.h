#pragma once

// ordan-klv --create-setting-table [PATH]: the station never creates its settings log, so
// the operator makes an empty one with this option.

#include <QString>

#include <cstdio>

namespace ordan {

// The path the option uses when none is given: Setting.DBF in the working directory.
QString DefaultSettingTablePath(const QString &workingDir);

// Writes an empty Setting.DBF at `path` and reports on `out` or `err`; an existing file is
// left as it is. Returns the program's exit code: 0 when created, 1 otherwise.
int RunCreateSettingTable(const QString &path, std::FILE *out = stdout, std::FILE *err = stderr);

} // namespace ordan
