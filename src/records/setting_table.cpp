#include "records/setting_table.h"

#include "records/dbf_table.h"

namespace ordan {

bool CreateSettingTable(const QString &path, QString *error)
{
    QList<dbf::FieldSpec> fields;
    for (const SettingColumn &c : kSettingColumns)
        fields.append({ColumnName(c).toUpper(), c.dbfType, c.length, c.decimals});
    return DbfTable::Create(path, fields, error);
}

} // namespace ordan
