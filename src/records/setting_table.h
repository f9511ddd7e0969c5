#pragma once

// The columns of the local settings log Setting.DBF and the page "База данных" over it.
// The constants are header-only so logic code and the fake table share them; only
// CreateSettingTable touches a file (ordan_platform).

#include "core/result.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <string_view>

namespace ordan {

inline constexpr char16_t kSettingFileName[] = u"Setting.DBF";

// The type under which the table presents a column, whatever its storage in a given file.
enum class SettingType {
    Float,     // double
    SmallInt,  // int
    Integer,   // int
    Text,      // QString
    Date,      // QDate
    Logical,   // bool
    TimeOfDay, // QTime
};

struct SettingColumn {
    std::string_view name; // lower case
    SettingType type;
    // How a new table stores it (dBase III/IV).
    char dbfType;
    int length;
    int decimals;
};

inline constexpr std::array<SettingColumn, 39> kSettingColumns = {{
    {"c_number", SettingType::Float, 'F', 12, 0},
    {"version", SettingType::Text, 'C', 5, 0},
    {"address", SettingType::SmallInt, 'N', 6, 0},
    {"turn_on", SettingType::Float, 'F', 12, 0},
    {"status", SettingType::Float, 'F', 12, 0},
    {"c_date", SettingType::Date, 'D', 8, 0},
    {"c_time", SettingType::Text, 'C', 8, 0},
    {"summer", SettingType::Logical, 'L', 1, 0},
    {"correct", SettingType::SmallInt, 'N', 6, 0},
    {"pass", SettingType::Float, 'F', 12, 0},
    {"t_1_c", SettingType::Float, 'F', 20, 5},
    {"t_2_c", SettingType::Float, 'F', 20, 5},
    {"t_3_c", SettingType::Float, 'F', 20, 5},
    {"t_1_1", SettingType::Float, 'F', 20, 5},
    {"t_2_1", SettingType::Float, 'F', 20, 5},
    {"t_3_1", SettingType::Float, 'F', 20, 5},
    {"ddm_a", SettingType::Float, 'F', 12, 0},
    {"ddm_b", SettingType::Float, 'F', 12, 0},
    {"ddm_c", SettingType::Float, 'F', 12, 0},
    {"count_day", SettingType::SmallInt, 'N', 6, 0},
    {"count_hour", SettingType::SmallInt, 'N', 6, 0},
    {"reset", SettingType::Logical, 'L', 1, 0},
    {"report", SettingType::Logical, 'L', 1, 0},
    {"date_rec", SettingType::Date, 'D', 8, 0},
    {"time_rec", SettingType::Text, 'C', 5, 0},
    {"ncorrect", SettingType::SmallInt, 'N', 6, 0},
    {"indicator", SettingType::SmallInt, 'N', 6, 0},
    {"zone_0", SettingType::Integer, 'N', 11, 0},
    {"zone_1", SettingType::Integer, 'N', 11, 0},
    {"zone_2", SettingType::Integer, 'N', 11, 0},
    {"zone_3", SettingType::Integer, 'N', 11, 0},
    {"zone_4", SettingType::Integer, 'N', 11, 0},
    {"zone_5", SettingType::Integer, 'N', 11, 0},
    // dBase III/IV has no date-time type: zone times go in as "hh:nn:ss" text.
    {"time_0", SettingType::TimeOfDay, 'C', 8, 0},
    {"time_1", SettingType::TimeOfDay, 'C', 8, 0},
    {"time_2", SettingType::TimeOfDay, 'C', 8, 0},
    {"time_3", SettingType::TimeOfDay, 'C', 8, 0},
    {"time_4", SettingType::TimeOfDay, 'C', 8, 0},
    {"time_5", SettingType::TimeOfDay, 'C', 8, 0},
}};

inline QString ColumnName(const SettingColumn &column)
{
    return QString::fromLatin1(column.name.data(), static_cast<qsizetype>(column.name.size()));
}

// The column of that name (any case), or nullptr.
inline const SettingColumn *FindSettingColumn(QStringView name)
{
    for (const SettingColumn &c : kSettingColumns) {
        if (name.compare(QLatin1StringView(c.name.data(), static_cast<qsizetype>(c.name.size())),
                         Qt::CaseInsensitive) == 0)
            return &c;
    }
    return nullptr;
}

// The calculated column of the view.
inline constexpr char16_t kSumerCorrect[] = u"Sumer_correct";

struct SettingViewColumn {
    std::u16string_view name; // the stored column in upper case, or kSumerCorrect
    std::u16string_view title;
    int width; // pixels; 0 = the grid's default
};

// The grid of the page "База данных", in its order. SUMMER shows only through
// Sumer_correct; REPORT and the zone columns are not shown.
inline constexpr std::array<SettingViewColumn, 26> kSettingViewColumns = {{
    {u"C_NUMBER", u"Номер", 0},       {u"DATE_REC", u"Дата зап.", 0},   {u"TIME_REC", u"Время зап.", 0},
    {u"VERSION", u"Версия", 0},       {u"ADDRESS", u"Адрес", 0},        {u"TURN_ON", u"Время вкл.", 0},
    {u"NCORRECT", u"Счет. корр.", 0}, {u"C_DATE", u"Дата", 0},          {u"C_TIME", u"Время", 0},
    {u"STATUS", u"Статус", 0},        {u"RESET", u"Сброс", 40},         {u"DDM_A", u"ДДМ A", 0},
    {u"DDM_B", u"ДДМ B", 0},          {u"DDM_C", u"ДДМ C", 0},          {kSumerCorrect, u"Летн. время", 0},
    {u"CORRECT", u"Коррекция", 0},    {u"PASS", u"Пароль", 0},          {u"INDICATOR", u"Индикатор", 0},
    {u"T_1_C", u"T1 (тек.)", 0},      {u"T_2_C", u"T2 (тек.)", 0},      {u"T_3_C", u"T3 (тек.)", 0},
    {u"T_1_1", u"T1 (1-ое)", 0},      {u"T_2_1", u"T2 (1-ое)", 0},      {u"T_3_1", u"T3 (1-ое)", 0},
    {u"COUNT_DAY", u"Расч. день", 0}, {u"COUNT_HOUR", u"Расч. час", 0},
}};

// Sumer_correct of a row's summer value: empty for null, "да" / "нет".
inline QString SumerCorrectText(const QVariant &summer)
{
    if (summer.isNull())
        return {};
    return summer.toBool() ? QStringLiteral("да") : QStringLiteral("нет");
}

// Writes an empty Setting.DBF (dBase III/IV) with the columns above. Never overwrites:
// an existing file is an error.
Status CreateSettingTable(const QString &path);

} // namespace ordan
