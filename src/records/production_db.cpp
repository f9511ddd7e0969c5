#include "records/production_db.h"

#include <QMetaType>

namespace ordan {

namespace {

// Nulls are bound with the column's type: some servers refuse an untyped null for a
// floating or date-time column.
QVariant Int(std::optional<int> v) { return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>()); }

QVariant Real(std::optional<double> v) { return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>()); }

QVariant Stamp(const std::optional<QDateTime> &v)
{
    return v && v->isValid() ? QVariant(*v) : QVariant(QMetaType::fromType<QDateTime>());
}

// Logical columns are bound as 0 and 1: SQL Server's bit, PostgreSQL's smallint and SQLite's
// integer all take them, and the quoted statements write the literal 0 into them too.
QVariant Logical(std::optional<bool> v) { return v ? QVariant(*v ? 1 : 0) : QVariant(QMetaType::fromType<int>()); }

int ToInt(const QVariant &v) { return v.isNull() ? 0 : v.toInt(); }

// Date-times come as date-times from typed columns and as ISO text from SQLite aggregates.
std::optional<QDateTime> ToDateTime(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<QDateTime>()) {
        const QDateTime dt = v.toDateTime();
        return dt.isValid() ? std::optional(dt) : std::nullopt;
    }
    const QString text = v.toString().trimmed();
    QDateTime dt = QDateTime::fromString(QString(text).replace(QLatin1Char(' '), QLatin1Char('T')), Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    return dt.isValid() ? std::optional(dt) : std::nullopt;
}

QString TextOrEmpty(const QVariant &v) { return v.isNull() ? QString() : v.toString(); }

// The database's error text as the failure of any query.
Failure DbFailure(const SqlSession &db) { return Fail(db.lastError()); }

// The id column of the first row; 0 when there is none.
Result<int> FirstId(SqlSession &db, const QString &statement, const QVariantList &params, QStringView column)
{
    const auto rows = db.exec(statement, params);
    if (!rows)
        return DbFailure(db);
    return ToInt(rows->value(0, column));
}

Result<int> ScalarInt(SqlSession &db, const QString &statement, const QVariantList &params = {})
{
    const auto rows = db.exec(statement, params);
    if (!rows)
        return DbFailure(db);
    return ToInt(rows->scalar());
}

const QString QueryComputer = QStringLiteral("SELECT * FROM computer WHERE name = ?");
const QString QueryPerson = QStringLiteral("SELECT * FROM operator WHERE login = ? AND operating = 1");
const QString QueryPlant = QStringLiteral("SELECT * FROM plant WHERE type_id = 3 AND computer_id = ?");
const QString QueryCheckNumber = QStringLiteral("SELECT * FROM electrometer WHERE number = ? AND type_id = ?");
const QString QueryOpenDefects =
    QStringLiteral("SELECT COUNT(*) FROM spoilage WHERE electro_id = ? AND date_repair IS NULL");
const QString QueryOperation =
    QStringLiteral("INSERT INTO operation(type_id,electro_id,plant_id,person_id,success) VALUES(?,?,?,?,?)");
const QString QueryMaxOper = QStringLiteral("SELECT MAX(operation_id) FROM operation WHERE plant_id = ?");
const QString QueryIns =
    QStringLiteral("INSERT INTO set_ordan_klv(operation_id,version,turn_on,status,address,reset,date_time,summer,"
                   "correct,pass,t_1_1,t_1_c,t_2_1,t_2_c,t_3_1,t_3_c,ddm_a,ddm_b,ddm_c,count_day,count_hour,"
                   "ncorrect,indicator,secperday) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
// A recorded number is held no longer, by this work place or any other.
const QString QueryReleaseRecorded = QStringLiteral("DELETE FROM number_reservation WHERE number IN (SELECT number "
                                                    "FROM electrometer WHERE electro_id = ? AND type_id = ?)");
const QString QueryMaxSql =
    QStringLiteral("SELECT MIN(number) FROM electrometer WHERE type_id = ? AND NOT electro_id IN "
                   "(SELECT electro_id FROM operation WHERE type_id = 3)");
const QString QueryDelta =
    QStringLiteral("SELECT MAX(date_time) FROM set_ordan_klv WHERE operation_id IN (SELECT operation_id FROM "
                   "operation WHERE electro_id = (SELECT electro_id FROM electrometer WHERE number = ? AND "
                   "type_id = ?))");
const QString QueryMaxTarif = QStringLiteral("SELECT MAX(operation_id) FROM set_ordan_tg WHERE NOT zone_0 IS NULL");
const QString QueryMaxIndi = QStringLiteral("SELECT MAX(operation_id) FROM set_ordan_tg WHERE NOT indicator IS NULL");
const QString QueryMaxPass = QStringLiteral("SELECT MAX(operation_id) FROM set_ordan_tg WHERE NOT pass IS NULL");
const QString QueryOp = QStringLiteral("SELECT * FROM set_ordan_tg WHERE operation_id = ?");
const QString QuerySelect = QStringLiteral("SELECT MAX(operation_id) FROM operation WHERE electro_id = ? AND "
                                           "DATEDIFF(DAY,date_operation,getdate()) = 0 AND type_id = 3");
const QString QueryFail = QStringLiteral("UPDATE operation SET success = 0 WHERE operation_id = ?");
const QString QueryInsert =
    QStringLiteral("INSERT INTO operation(type_id,electro_id,plant_id,person_id,success) VALUES(3,?,?,?,0)");
const QString QueryInsertDefect =
    QStringLiteral("INSERT INTO spoilage(type_id,electro_id,person_id,code,operation_id) VALUES(1,?,?,?,?)");

} // namespace

Result<int> FindComputer(SqlSession &db, const QString &computerName)
{
    return FirstId(db, QueryComputer, {computerName}, u"computer_id");
}

Result<int> FindOperator(SqlSession &db, const QString &login)
{
    return FirstId(db, QueryPerson, {login}, u"person_id");
}

Result<int> FindPlant(SqlSession &db, int computerId) { return FirstId(db, QueryPlant, {computerId}, u"plant_id"); }

Result<Identification> IdentifyWorkstation(SqlSession &db, const QString &computerName, const QString &login)
{
    Identification found;
    const auto computer = FindComputer(db, computerName);
    if (!computer)
        return computer.failure();
    found.ids.computer_id = *computer;
    if (found.ids.computer_id == 0) {
        found.missing = Identification::Missing::Computer;
        return found;
    }
    const auto person = FindOperator(db, login);
    if (!person)
        return person.failure();
    found.ids.person_id = *person;
    if (found.ids.person_id == 0) {
        found.missing = Identification::Missing::Operator;
        return found;
    }
    const auto plant = FindPlant(db, found.ids.computer_id);
    if (!plant)
        return plant.failure();
    found.ids.plant_id = *plant;
    if (found.ids.plant_id == 0)
        found.missing = Identification::Missing::Plant;
    return found;
}

// getdate() stays the local wall time for the quoted statements.
QString ServerTimeStatement(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::SqlServer: return QStringLiteral("SELECT SYSUTCDATETIME()");
    // clock_timestamp(): the instant of the read, also inside a longer transaction.
    case SqlDialect::PostgreSql: return QStringLiteral("SELECT clock_timestamp() AT TIME ZONE 'UTC'");
    case SqlDialect::Sqlite: return QStringLiteral("SELECT strftime('%Y-%m-%d %H:%M:%f','now')");
    }
    return {};
}

Result<QDateTime> ReadServerTime(SqlSession &db)
{
    const auto dialect = db.dialect();
    if (!dialect)
        return DbFailure(db);
    const QString statement = ServerTimeStatement(*dialect);
    const auto rows = db.exec(statement);
    if (!rows)
        return DbFailure(db);
    const auto now = ToDateTime(rows->scalar());
    if (!now)
        return Fail(statement + QStringLiteral(": no date-time"));
    // The drivers hand the UTC fields over as a zoneless date-time.
    return QDateTime(now->date(), now->time(), Qt::UTC);
}

bool ServerIsThisComputer(SqlDialect dialect) { return dialect == SqlDialect::Sqlite; }

Result<std::optional<int>> FindMeter(SqlSession &db, int serialNumber)
{
    const auto rows = db.exec(QueryCheckNumber, {serialNumber, MeterTypeId});
    if (!rows)
        return DbFailure(db);
    if (rows->empty())
        return std::optional<int>();
    return std::optional<int>(ToInt(rows->value(0, u"electro_id")));
}

Result<int> CountOpenDefects(SqlSession &db, int electroId) { return ScalarInt(db, QueryOpenDefects, {electroId}); }

Result<RecordingCheck> CheckMeterForRecording(SqlSession &db, int serialNumber)
{
    const auto meter = FindMeter(db, serialNumber);
    if (!meter)
        return meter.failure();
    RecordingCheck check;
    if (!meter->has_value())
        return check;
    check.electro_id = **meter;
    const auto open = CountOpenDefects(db, check.electro_id);
    if (!open)
        return open.failure();
    check.verdict = *open != 0 ? RecordingCheck::Verdict::UnderRepair : RecordingCheck::Verdict::Recordable;
    return check;
}

QString RecordingRefusalText(RecordingCheck::Verdict verdict)
{
    switch (verdict) {
    case RecordingCheck::Verdict::NotRegistered: return QStringLiteral("Номер прибора не описан в БД. Установите его.");
    case RecordingCheck::Verdict::UnderRepair: return QStringLiteral("Прибор в ремонте.");
    case RecordingCheck::Verdict::Recordable: break;
    }
    return {};
}

bool DriftAcceptable(std::optional<double> secondsPerDay)
{
    const double drift = secondsPerDay.value_or(0.0);
    return drift >= -3.0 && drift <= 1.0;
}

Result<int> RecordOperation(SqlSession &db, const StationIdentity &station, int electroId, const OperationRecord &r)
{
    if (!db.begin())
        return DbFailure(db);
    // The error is taken before the rollback, which may add its own.
    const auto abandon = [&db] {
        const QString error = db.lastError();
        db.rollback();
        return Fail(error);
    };
    if (!db.exec(QueryOperation, {ProgrammingOperation, electroId, station.plant_id, station.person_id,
                                  Logical(!r.readBackFailed && DriftAcceptable(r.secperday))}))
        return abandon();
    const auto newest = db.exec(QueryMaxOper, {station.plant_id});
    if (!newest)
        return abandon();
    const int operationId = ToInt(newest->scalar());
    const QVariantList settings = {
        operationId,
        r.version.isNull() ? QStringLiteral("") : r.version, // an empty label is stored as ''
        r.turn_on,
        r.status,
        Int(r.address),
        Logical(r.reset),
        Stamp(r.date_time),
        Logical(r.summer),
        Int(std::nullopt), // correct: never written by this station
        Int(r.pass),
        Real(r.t_1_1),
        Real(r.t_1_c),
        Real(r.t_2_1),
        Real(r.t_2_c),
        Real(r.t_3_1),
        Real(r.t_3_c),
        Int(r.ddm_a),
        Int(r.ddm_b),
        Int(r.ddm_c),
        Int(r.count_day),
        Int(r.count_hour),
        r.ncorrect,
        Int(r.indicator),
        Real(r.secperday),
    };
    if (!db.exec(QueryIns, settings))
        return abandon();
    if (!db.exec(QueryReleaseRecorded, {electroId, MeterTypeId}))
        return abandon();
    if (!db.commit())
        return abandon();
    return operationId;
}

Result<int> NextUnprogrammedNumber(SqlSession &db) { return ScalarInt(db, QueryMaxSql, {MeterTypeId}); }

Result<std::optional<QDateTime>> LastClockSet(SqlSession &db, int serialNumber)
{
    const auto rows = db.exec(QueryDelta, {serialNumber, MeterTypeId});
    if (!rows)
        return DbFailure(db);
    return ToDateTime(rows->scalar());
}

Result<RecordDefaults> ReadRecordDefaults(SqlSession &db)
{
    RecordDefaults defaults;
    const auto latestRow = [&db](const QString &which) -> std::optional<std::optional<SqlRows>> {
        const auto newest = ScalarInt(db, which);
        if (!newest)
            return std::nullopt;
        if (*newest == 0)
            return std::optional<SqlRows>();
        auto row = db.exec(QueryOp, {*newest});
        if (!row)
            return std::nullopt;
        return std::optional<SqlRows>(std::move(*row));
    };

    const auto zones = latestRow(QueryMaxTarif);
    if (!zones)
        return DbFailure(db);
    if (zones->has_value()) {
        defaults.oneTariff = false;
        const SqlRows &row = **zones;
        if (!row.empty()) {
            std::array<RecordDefaults::Zone, 6> z;
            for (int i = 0; i < 6; ++i) {
                z[i].tariff = TextOrEmpty(row.value(0, QString(u"zone_" + QString::number(i))));
                const auto start = ToDateTime(row.value(0, QString(u"time_" + QString::number(i))));
                z[i].start = start ? start->time() : QTime(0, 0);
            }
            defaults.zones = z;
            defaults.password = TextOrEmpty(row.value(0, u"pass"));
        }
    }

    const auto display = latestRow(QueryMaxIndi);
    if (!display)
        return DbFailure(db);
    if (display->has_value() && !(*display)->empty())
        defaults.indicator = ToInt((*display)->value(0, u"indicator"));

    const auto password = latestRow(QueryMaxPass);
    if (!password)
        return DbFailure(db);
    if (password->has_value() && !(*password)->empty())
        defaults.password = TextOrEmpty((*password)->value(0, u"pass"));
    return defaults;
}

bool DefectCodeAcceptable(const QString &code)
{
    const QString trimmed = code.trimmed();
    return !trimmed.isEmpty() && trimmed.size() <= kDefectCodeMaxLength;
}

Result<int> RegisterDefect(SqlSession &db, const StationIdentity &station, int electroId, const QString &code)
{
    if (!DefectCodeAcceptable(code))
        return Fail(QStringLiteral("empty defect code"));
    auto today = ScalarInt(db, QuerySelect, {electroId});
    if (!today)
        return today;
    int operationId = *today;
    if (operationId != 0) {
        if (!db.exec(QueryFail, {operationId}))
            return DbFailure(db);
    } else {
        if (!db.exec(QueryInsert, {electroId, station.plant_id, station.person_id}))
            return DbFailure(db);
        today = ScalarInt(db, QuerySelect, {electroId});
        if (!today)
            return today;
        operationId = *today;
    }
    if (!db.exec(QueryInsertDefect, {electroId, station.person_id, code.trimmed(), operationId}))
        return DbFailure(db);
    return operationId;
}

} // namespace ordan
