#include "ui/help_file.h"

#include "ui/help_window.h"

#include <QDir>
#include <QFileInfo>

namespace ordan {

QStringList HelpFileFolders(const QString &workingDir, const QString &programDir)
{
    QStringList folders{QDir::cleanPath(workingDir),
                        QDir::cleanPath(programDir + QStringLiteral("/../share/ordan-klv")),
                        QDir::cleanPath(programDir)};
    folders.removeDuplicates();
    return folders;
}

QString LocateHelpFile(const QString &workingDir, const QString &programDir)
{
    for (const QString &folder : HelpFileFolders(workingDir, programDir)) {
        const QString path = QDir(folder).filePath(HelpWindow::HelpFileName());
        if (QFileInfo::exists(path))
            return path;
    }
    return QDir(workingDir).filePath(HelpWindow::HelpFileName());
}

} // namespace ordan
