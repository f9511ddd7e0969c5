#include "records/number_reservation.h"

#include <QDateTime>

#include <optional>

namespace ordan {

namespace {

// A lost race shows as a failed insert of a number that another station holds by the time the
// failure is seen: PostgreSQL and SQL Server make the insert wait for the holder's commit, and
// SQLite takes the database's write lock with the transaction's first statement.
const QString QueryFreeHolds = QStringLiteral("DELETE FROM number_reservation WHERE plant_id = ? OR reserved_at < ?");
const QString QueryNewestOperation = QStringLiteral("SELECT MAX(operation_id) FROM operation");
const QString QueryFreeNumber = QStringLiteral(
    "SELECT MIN(number) FROM electrometer WHERE type_id = ? AND number BETWEEN ? AND ? AND NOT electro_id IN "
    "(SELECT electro_id FROM operation WHERE type_id = 3) AND NOT number IN (SELECT number FROM number_reservation)");
const QString QueryOutOfRange = QStringLiteral(
    "SELECT COUNT(*) FROM electrometer WHERE type_id = ? AND (number < ? OR number > ?) AND NOT electro_id IN "
    "(SELECT electro_id FROM operation WHERE type_id = 3)");
const QString QueryHold = QStringLiteral("INSERT INTO number_reservation(number,plant_id,reserved_at) VALUES(?,?,?)");
const QString QueryHeld = QStringLiteral("SELECT COUNT(*) FROM number_reservation WHERE number = ?");
const QString QueryRelease = QStringLiteral("DELETE FROM number_reservation WHERE plant_id = ?");
const QString QueryProgrammedElsewhere = QStringLiteral(
    "SELECT COUNT(*) FROM operation WHERE type_id = 3 AND operation_id > ? AND (plant_id IS NULL OR plant_id <> ?) "
    "AND electro_id IN (SELECT electro_id FROM electrometer WHERE number = ? AND type_id = ?)");
const QString QueryHeldElsewhere =
    QStringLiteral("SELECT COUNT(*) FROM number_reservation WHERE number = ? AND plant_id <> ? AND reserved_at >= ?");

Failure DbFailure(const SqlSession &db) { return Fail(db.lastError()); }

Result<int> ScalarInt(SqlSession &db, const QString &statement, const QVariantList &params)
{
    const auto rows = db.exec(statement, params);
    if (!rows)
        return DbFailure(db);
    const QVariant value = rows->scalar();
    return value.isNull() ? 0 : value.toInt();
}

// The server's time less the lifetime: holds made before it have expired.
Result<QDateTime> ExpiryCutoff(SqlSession &db, std::chrono::milliseconds lifetime)
{
    const auto now = ReadServerTime(db);
    if (!now)
        return now;
    return now->addMSecs(-lifetime.count());
}

struct Attempt {
    std::optional<NumberProposal> proposal;
    bool lostRace = false;
    QString error;
};

// Reads the proposal inside the open transaction.
Result<NumberProposal> FindProposal(SqlSession &db)
{
    NumberProposal proposal;
    const auto watermark = ScalarInt(db, QueryNewestOperation, {});
    if (!watermark)
        return watermark.failure();
    proposal.operationWatermark = *watermark;
    const QVariantList range = {MeterTypeId, kFactoryNumberMin, kFactoryNumberMax};
    const auto number = ScalarInt(db, QueryFreeNumber, range);
    if (!number)
        return number.failure();
    proposal.number = *number;
    const auto outside = ScalarInt(db, QueryOutOfRange, range);
    if (!outside)
        return outside.failure();
    proposal.skippedOutOfRange = *outside > 0;
    return proposal;
}

Attempt TryReserve(SqlSession &db, const StationIdentity &station, std::chrono::milliseconds lifetime)
{
    const auto now = ReadServerTime(db);
    if (!now)
        return {std::nullopt, false, now.error()};
    const QDateTime cutoff = now->addMSecs(-lifetime.count());
    if (!db.begin())
        return {std::nullopt, false, db.lastError()};
    // The error is taken before the rollback, which may add its own.
    const auto abandon = [&db](int heldNumber = 0) {
        Attempt failed{std::nullopt, false, db.lastError()};
        db.rollback();
        if (heldNumber != 0)
            failed.lostRace = ScalarInt(db, QueryHeld, {heldNumber}).valueOr(0) > 0;
        return failed;
    };
    // A write first: on SQLite it takes the write lock, waiting for another station's commit.
    if (!db.exec(QueryFreeHolds, {station.plant_id, cutoff}))
        return abandon();
    const auto proposal = FindProposal(db);
    if (!proposal)
        return abandon();
    if (proposal->number != 0 && !db.exec(QueryHold, {proposal->number, station.plant_id, *now}))
        return abandon(proposal->number);
    if (!db.commit())
        return abandon();
    return {*proposal, false, {}};
}

} // namespace

Result<NumberProposal> ReserveNextNumber(SqlSession &db, const StationIdentity &station,
                                         std::chrono::milliseconds lifetime)
{
    if (station.plant_id == 0)
        return Fail(QStringLiteral("no number is held for an unidentified work place"));
    int failures = 0;
    for (int attempt = 0; attempt < kReservationAttempts; ++attempt) {
        const Attempt tried = TryReserve(db, station, lifetime);
        if (tried.proposal)
            return *tried.proposal;
        if (!tried.lostRace && ++failures > kReservationRetries)
            return Fail(tried.error);
    }
    return Fail(QStringLiteral("no factory number could be held: other stations took every one tried (%1 attempts)")
                    .arg(kReservationAttempts));
}

QString NoNumberText(const NumberProposal &proposal)
{
    if (!proposal.nothingLeft())
        return {};
    const QString text =
        QStringLiteral("Нет свободного номера прибора: все описанные в БД приборы запрограммированы или заняты "
                       "другими установками.");
    if (!proposal.skippedOutOfRange)
        return text;
    return text +
           QStringLiteral(" Номера вне диапазона %1..%2 пропущены.").arg(kFactoryNumberMin).arg(kFactoryNumberMax);
}

Status ReleaseReservation(SqlSession &db, const StationIdentity &station)
{
    if (!db.exec(QueryRelease, {station.plant_id}))
        return DbFailure(db);
    return {};
}

Result<NumberWriteCheck> CheckNumberForWrite(SqlSession &db, const StationIdentity &station, int number,
                                             int sinceOperationId, std::chrono::milliseconds lifetime)
{
    NumberWriteCheck check;
    const auto programmed =
        ScalarInt(db, QueryProgrammedElsewhere, {sinceOperationId, station.plant_id, number, MeterTypeId});
    if (!programmed)
        return programmed.failure();
    if (*programmed > 0) {
        check.verdict = NumberWriteCheck::Verdict::ProgrammedElsewhere;
        return check;
    }
    const auto cutoff = ExpiryCutoff(db, lifetime);
    if (!cutoff)
        return cutoff.failure();
    const auto held = ScalarInt(db, QueryHeldElsewhere, {number, station.plant_id, *cutoff});
    if (!held)
        return held.failure();
    if (*held > 0)
        check.verdict = NumberWriteCheck::Verdict::HeldElsewhere;
    return check;
}

QString NumberWriteRefusalText(int number, NumberWriteCheck::Verdict verdict)
{
    switch (verdict) {
    case NumberWriteCheck::Verdict::ProgrammedElsewhere:
        return QStringLiteral("Прибор с номером %1 уже запрограммирован на другой установке. Запись отменена, "
                              "выберите другой номер.")
            .arg(number);
    case NumberWriteCheck::Verdict::HeldElsewhere:
        return QStringLiteral("Номер %1 занят другой установкой. Запись отменена, выберите другой номер.").arg(number);
    case NumberWriteCheck::Verdict::Writable: break;
    }
    return {};
}

} // namespace ordan
