#include "records/setting_table.h"

#include "records/dbf_table.h"

namespace ordan {

Status CreateSettingTable(const QString &path)
{
    QList<dbf::FieldSpec> fields;
    for (const SettingColumn &c : kSettingColumns)
        fields.append({ColumnName(c).toUpper(), c.dbfType, c.length, c.decimals});
    return DbfTable::Create(path, fields);
}

} // namespace ordan
