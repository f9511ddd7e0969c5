#pragma once

#include "core/result.h"
#include "records/sql_session.h"

#include <QDateTime>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace ordan {

// Fixed type numbers of the production database.
inline constexpr int MeterTypeId = 18;         // electrometer.type_id of this meter family
inline constexpr int ProgrammingPlantType = 3; // plant.type_id of a programming station
inline constexpr int ProgrammingOperation = 3; // operation.type_id of a programming
inline constexpr int StationDefectType = 1;    // spoilage.type_id written by this station

// The workstation, operator and work place of this station in the production database;
// 0 while unknown.
struct StationIdentity {
    int computer_id = 0;
    int person_id = 0;
    int plant_id = 0;
    friend bool operator==(const StationIdentity &, const StationIdentity &) = default;
};

// --- identification of the workstation ---

// computer_id of the first computer of that name; 0 when none.
Result<int> FindComputer(SqlSession &db, const QString &computerName);
// person_id of the first operator with that login who may work (operating = 1); 0 when none.
// The whole login is looked up, however long.
Result<int> FindOperator(SqlSession &db, const QString &login);
// plant_id of the first programming work place (type 3) of the computer; 0 when none.
Result<int> FindPlant(SqlSession &db, int computerId);

// Identification in its order: stops at the first unknown, whose id is then 0 and `missing`
// names it; a database error stops it too.
struct Identification {
    enum class Missing { None, Computer, Operator, Plant };
    StationIdentity ids;
    Missing missing = Missing::None;
};
Result<Identification> IdentifyWorkstation(SqlSession &db, const QString &computerName, const QString &login);

// The server's clock as an absolute instant: a UTC date-time with milliseconds, whatever
// time zone the server or its session keeps.
Result<QDateTime> ReadServerTime(SqlSession &db);
// The statement ReadServerTime runs on that dialect.
QString ServerTimeStatement(SqlDialect dialect);

// Whether the dialect's "server" is this computer (an embedded database file): its clock is
// the workstation's own, and setting the workstation's clock from it would change nothing.
bool ServerIsThisComputer(SqlDialect dialect);

// --- recording a programming ---

// electro_id of the registered meter of this family with that number; nullopt when none.
Result<std::optional<int>> FindMeter(SqlSession &db, int serialNumber);
// Number of the meter's defects still open (date_repair null).
Result<int> CountOpenDefects(SqlSession &db, int electroId);

// Whether a finished write may be recorded for the meter with that number.
struct RecordingCheck {
    enum class Verdict { Recordable, NotRegistered, UnderRepair };
    Verdict verdict = Verdict::NotRegistered;
    int electro_id = 0; // when registered
};
Result<RecordingCheck> CheckMeterForRecording(SqlSession &db, int serialNumber);
// The refusal message of a verdict other than Recordable (caption "Ошибка записи в БД").
QString RecordingRefusalText(RecordingCheck::Verdict verdict);

// One row of set_ordan_klv; an empty optional is stored as null.
struct OperationRecord {
    QString version;
    int turn_on = 0;
    int status = 0;
    int ncorrect = 0;
    std::optional<double> t_1_c, t_2_c, t_3_c; // current readings of tariffs 1..3
    std::optional<double> t_1_1, t_2_1, t_3_1; // readings on the billing day
    std::optional<int> address;
    std::optional<int> indicator;
    std::optional<QDateTime> date_time;
    std::optional<bool> summer;
    std::optional<int> pass;
    bool reset = false;
    std::optional<int> count_day, count_hour;
    std::optional<int> ddm_a, ddm_b, ddm_c;
    std::optional<double> secperday; // the meter's clock drift, seconds per day
    // The line mode read back something other than it wrote: unsuccessful whatever the drift.
    bool readBackFailed = false;
};

// A programming counts as successful when the drift lies in [-3, +1] s/day; an unknown
// drift counts as 0.
bool DriftAcceptable(std::optional<double> secondsPerDay);

// Inserts the operation and its settings row and ends any hold of the meter's number (see
// number_reservation.h) in one transaction, and returns the new
// operation_id; on any failure rolls back, so none of it stays, and returns the database's
// error text.
Result<int> RecordOperation(SqlSession &db, const StationIdentity &station, int electroId,
                            const OperationRecord &record);

// The smallest registered number of this family that has no programming yet; 0 when every
// registered meter has one.
Result<int> NextUnprogrammedNumber(SqlSession &db);

// Date-time of the latest recorded clock setting of the meter with that number; nullopt
// when none is recorded.
Result<std::optional<QDateTime>> LastClockSet(SqlSession &db, int serialNumber);

// Start-up defaults from the latest rows of set_ordan_tg that carry them.
struct RecordDefaults {
    struct Zone {
        QString tariff; // empty when null
        QTime start;    // 00:00 when null
    };
    bool oneTariff = true;                    // no row with zones
    std::optional<std::array<Zone, 6>> zones; // set when a row with zones exists
    std::optional<int> indicator;             // bits 0..3: the four display items
    std::optional<QString> password;          // text for the password field
};
Result<RecordDefaults> ReadRecordDefaults(SqlSession &db);

// --- defect registration ---

// The width of spoilage.code in the schema scripts. The edit holds no more, so a code can
// never mark the day's programming unsuccessful and then fail to fit its defect row.
inline constexpr int kDefectCodeMaxLength = 64;

// A defect code is accepted when something is left after trimming the blanks and that
// fits the column.
bool DefectCodeAcceptable(const QString &code);

// Registers a defect of the meter with the trimmed code, tied to its latest programming
// of the server's current day (marked unsuccessful) or to a new unsuccessful one of this
// station; returns that operation_id. The statements take effect one by one: a failure
// leaves what the earlier ones wrote.
Result<int> RegisterDefect(SqlSession &db, const StationIdentity &station, int electroId, const QString &code);

} // namespace ordan
