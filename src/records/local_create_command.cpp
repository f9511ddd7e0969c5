#include "records/local_create_command.h"

#include "records/setting_table.h"

#include <QDir>

namespace ordan {

QString DefaultSettingTablePath(const QString &workingDir)
{
    return QDir(workingDir).filePath(QString::fromUtf16(kSettingFileName));
}

int RunCreateSettingTable(const QString &path, std::FILE *out, std::FILE *err)
{
    if (const Status created = CreateSettingTable(path); !created) {
        std::fprintf(err, "ordan-klv: the settings log was not created: %s\n",
                     created.error().toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(out, "ordan-klv: empty settings log created: %s\n",
                 QDir::toNativeSeparators(path).toLocal8Bit().constData());
    return 0;
}

} // namespace ordan
