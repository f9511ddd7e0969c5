#pragma once

#include <QString>
#include <QStringList>

namespace ordan {

// Folders searched for the help file, in order: the working directory (a copy of the
// operator's own wins), the installed data folder next to the program's bin folder, and the
// program's own folder (a build tree).
QStringList HelpFileFolders(const QString &workingDir, const QString &programDir);

// The help file in the first folder that has one; the working directory's path when none
// has, so the error names where the station looked first.
QString LocateHelpFile(const QString &workingDir, const QString &programDir);

} // namespace ordan
