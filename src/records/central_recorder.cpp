#include "records/central_recorder.h"

#include "core/field.h"
#include "core/operator.h"
#include "core/system_facts.h"
#include "meter/meter_hooks.h"
#include "meter/meter_parameters.h"
#include "records/central_record.h"
#include "records/number_reservation.h"
#include "schedule/schedule_model.h"

#include <limits>

namespace ordan {

namespace {

const QString &RecordingCaption()
{
    static const QString caption = QStringLiteral("Ошибка записи в БД");
    return caption;
}

// The identification and, when it found the station, the server's clock, in one job.
struct ActivationOutcome {
    Result<Identification> found;
    std::optional<Result<QDateTime>> serverTime; // none when the server is this computer
};

// The server's clock, unless the "server" is this computer (an embedded database): its clock
// is the workstation's own, and setting it from itself would only lose the read's latency.
std::optional<Result<QDateTime>> ServerClock(SqlSession &db)
{
    const std::optional<SqlDialect> dialect = db.dialect();
    if (dialect && ServerIsThisComputer(*dialect))
        return std::nullopt;
    return ReadServerTime(db);
}

// What the server says before a settings write: its clock, and whether the number to be
// programmed is still this station's to write.
struct WriteClearance {
    std::optional<Result<QDateTime>> serverTime;
    NumberWriteCheck::Verdict verdict = NumberWriteCheck::Verdict::Writable;
};

} // namespace

// What a recording job found: a refusal, or the outcome of the transaction.
struct CentralRecorder::RecordingOutcome {
    RecordingCheck::Verdict verdict = RecordingCheck::Verdict::Recordable;
    std::optional<Result<int>> recorded;
};

CentralRecorder::CentralRecorder(Parts parts, QObject *parent)
    : QObject(parent), db_(parts.db), background_(parts.background), p_(parts.parameters), hooks_(parts.hooks),
      schedule_(parts.schedule), actionFixDb_(parts.ActionFixDb), op_(parts.op), facts_(parts.facts),
      modes_(parts.modes)
{
    // Outside database mode the local log owns "+" and nothing here runs.
    if (!modes_.SqlMode)
        return;
    hooks_.lastClockSet = [this](int serialNumber) { QueryDelta(serialNumber); };
    hooks_.prepareSettingsWrite = [this](int number, std::function<void(bool)> proceed) {
        prepareSettingsWrite(number, std::move(proceed));
    };
    p_.BitBtn1.setHandler([this] { BitBtn1Click(); });
    actionFixDb_.setHandler([this] { ActionFixDbExecute(); });
}

CentralRecorder::~CentralRecorder()
{
    if (!modes_.SqlMode)
        return;
    // The station ends: its number goes back to the line. The worker finishes the job before
    // the session goes; nothing waits for its answer.
    if (identified() && proposal_.number != 0)
        background_.post(nullptr,
                         [&db = db_, ids = identity_] {
                             if (const Status released = ReleaseReservation(db, ids); !released)
                                 qWarning("the held number stays until it expires: %s", qPrintable(released.error()));
                         },
                         {});
    hooks_.lastClockSet = {};
    hooks_.prepareSettingsWrite = {};
    p_.BitBtn1.setHandler({});
    actionFixDb_.setHandler({});
}

void CentralRecorder::report(const QString &error)
{
    if (reportError)
        reportError(error);
}

void CentralRecorder::FormActivate()
{
    if (!modes_.SqlMode || ending_)
        return;
    if (swallowActivation_) {
        swallowActivation_ = false;
        return;
    }
    IdentifyStation();
}

bool CentralRecorder::applyIdentification(const Result<Identification> &found)
{
    if (!found) {
        swallowActivation_ = true;
        report(found.error());
        return false;
    }
    identity_ = found->ids;
    if (found->missing == Identification::Missing::None)
        return true;
    ending_ = true;
    op_.showMessage(IdentificationStopText(found->missing, facts_.computerName(), facts_.loginName()),
                    QStringLiteral("Приложение остановлено"), BoxIcon::Warning, [this] {
                        if (endProgram)
                            endProgram();
                    });
    return false;
}

void CentralRecorder::IdentifyStation()
{
    if (!modes_.SqlMode || ending_ || identifying_)
        return;
    identifying_ = true;
    RunInBackground<ActivationOutcome>(
        background_, this,
        [&db = db_, computer = facts_.computerName(), login = facts_.loginName(), first = !releasedAtStart_] {
            ActivationOutcome outcome{IdentifyWorkstation(db, computer, login), std::nullopt};
            if (!outcome.found || outcome.found->missing != Identification::Missing::None)
                return outcome;
            // A number this work place held when its station was ended without a word (killed,
            // a power cut) is free again once the station is back. A refusal only leaves the
            // hold to expire; the log tells it.
            if (first)
                if (const Status released = ReleaseReservation(db, outcome.found->ids); !released)
                    qWarning("the hold of an earlier run stays until it expires: %s", qPrintable(released.error()));
            outcome.serverTime = ServerClock(db);
            return outcome;
        },
        [this](ActivationOutcome outcome) {
            identifying_ = false;
            if (ending_ || !applyIdentification(outcome.found))
                return;
            releasedAtStart_ = true;
            if (outcome.serverTime && !*outcome.serverTime) {
                swallowActivation_ = true;
                report(outcome.serverTime->error());
                return;
            }
            if (outcome.serverTime)
                setClockFromServer(**outcome.serverTime);
        });
}

void CentralRecorder::setClockFromServer(const QDateTime &serverNow)
{
    // The server's instant, as this workstation's wall time. A workstation that may not set
    // its clock keeps its own time, without a word.
    facts_.setClock(serverNow.toLocalTime());
}

void CentralRecorder::prepareSettingsWrite(int numberToProgram, std::function<void(bool)> proceed)
{
    // Programmings recorded elsewhere count from the proposal of the number on; a number typed
    // by hand (a meter programmed again) is refused only while another station holds it.
    const int since = numberToProgram != 0 && numberToProgram == proposal_.number ? proposal_.operationWatermark
                                                                                  : std::numeric_limits<int>::max();
    withStation<WriteClearance>(
        [numberToProgram, since](SqlSession &db, const StationIdentity &ids) -> Result<WriteClearance> {
            WriteClearance clearance;
            clearance.serverTime = ServerClock(db);
            if (clearance.serverTime && !*clearance.serverTime)
                return clearance.serverTime->failure();
            if (numberToProgram == 0)
                return clearance;
            const auto check = CheckNumberForWrite(db, ids, numberToProgram, since);
            if (!check)
                return check.failure();
            clearance.verdict = check->verdict;
            return clearance;
        },
        [this, numberToProgram, proceed = std::move(proceed)](Result<WriteClearance> clearance) {
            // The box of a failed read is the general error report; nothing is written then.
            if (!clearance) {
                if (!clearance.error().isEmpty())
                    report(clearance.error());
                proceed(false);
                return;
            }
            if (clearance->serverTime)
                setClockFromServer(**clearance->serverTime);
            if (clearance->verdict != NumberWriteCheck::Verdict::Writable) {
                op_.showMessage(NumberWriteRefusalText(numberToProgram, clearance->verdict), QStringLiteral("Ошибка"),
                                BoxIcon::Error);
                proceed(false);
                return;
            }
            proceed(true);
        });
}

void CentralRecorder::postStationJob(std::function<void(SqlSession &, std::optional<Result<Identification>> &)> job,
                                     std::function<void(const std::optional<Result<Identification>> &)> done)
{
    if (ending_) {
        done(std::nullopt);
        return;
    }
    const bool identify = !identified();
    auto found = std::make_shared<std::optional<Result<Identification>>>();
    background_.post(
        this,
        [&db = db_, found, identify, computer = facts_.computerName(), login = facts_.loginName(),
         job = std::move(job)] {
            if (identify)
                found->emplace(IdentifyWorkstation(db, computer, login));
            job(db, *found);
        },
        [found, done = std::move(done)] { done(*found); });
}

bool CentralRecorder::reportRecording(const Result<RecordingOutcome> &outcome)
{
    if (!outcome) {
        if (!outcome.error().isEmpty())
            report(outcome.error());
        return false;
    }
    if (outcome->verdict != RecordingCheck::Verdict::Recordable) {
        op_.showMessage(RecordingRefusalText(outcome->verdict), RecordingCaption(), BoxIcon::Error);
        return false;
    }
    // The transaction is over (committed, or rolled back) before the message shows: no
    // server locks wait on the operator.
    const Result<int> &recorded = *outcome->recorded;
    if (recorded)
        return true;
    op_.showMessage(QStringLiteral("Ошибка записи в БД: ") + recorded.error(), QStringLiteral("Ошибка БД"),
                    BoxIcon::Error);
    return false;
}

void CentralRecorder::RecordCentral()
{
    // The record is taken from the fields now: they are cleared right after this step.
    recordMeter(p_.SpinEdit_Number.value(), OperationRecordFromControls(p_, true));
}

void CentralRecorder::recordMeter(int number, OperationRecord record, std::function<void(bool)> done)
{
    withStation<RecordingOutcome>(
        [number, record = std::move(record)](SqlSession &db, const StationIdentity &ids) {
            const auto check = CheckMeterForRecording(db, number);
            if (!check)
                return Result<RecordingOutcome>(check.failure());
            if (check->verdict != RecordingCheck::Verdict::Recordable)
                return Result<RecordingOutcome>(RecordingOutcome{check->verdict, std::nullopt});
            return Result<RecordingOutcome>(RecordingOutcome{
                RecordingCheck::Verdict::Recordable, ordan::RecordOperation(db, ids, check->electro_id, record)});
        },
        [this, done = std::move(done)](const Result<RecordingOutcome> &outcome) {
            const bool recorded = reportRecording(outcome);
            if (done)
                done(recorded);
        });
}

void CentralRecorder::prepareLineMeter(int number, std::function<void(Result<int>)> done)
{
    struct Prepared {
        std::optional<NumberProposal> proposal; // when "+" was asked
        int number = 0;
        RecordingCheck::Verdict verdict = RecordingCheck::Verdict::Recordable;
    };
    withStation<Prepared>(
        [number](SqlSession &db, const StationIdentity &ids) -> Result<Prepared> {
            Prepared out;
            out.number = number;
            if (number == 0) {
                const Result<NumberProposal> next = ReserveNextNumber(db, ids);
                if (!next)
                    return next.failure();
                out.proposal = *next;
                if (next->nothingLeft())
                    return out;
                out.number = next->number;
            }
            const auto check = CheckMeterForRecording(db, out.number);
            if (!check)
                return check.failure();
            out.verdict = check->verdict;
            return out;
        },
        [this, done = std::move(done)](Result<Prepared> prepared) {
            if (!prepared) {
                done(prepared.failure());
                return;
            }
            if (prepared->proposal) {
                // The write's own check counts programmings elsewhere from this proposal on.
                proposal_ = *prepared->proposal;
                if (proposal_.nothingLeft()) {
                    done(Fail(NoNumberText(proposal_)));
                    return;
                }
            }
            if (prepared->verdict != RecordingCheck::Verdict::Recordable) {
                done(Fail(RecordingRefusalText(prepared->verdict)));
                return;
            }
            done(prepared->number);
        });
}

void CentralRecorder::ActionFixDbExecute()
{
    withStation<RecordingOutcome>(
        [number = p_.SpinEdit_Number.value(),
         record = OperationRecordFromControls(p_, false)](SqlSession &db, const StationIdentity &ids) {
            const auto meter = FindMeter(db, number);
            if (!meter)
                return Result<RecordingOutcome>(meter.failure());
            if (!meter->has_value())
                return Result<RecordingOutcome>(RecordingOutcome{RecordingCheck::Verdict::NotRegistered, std::nullopt});
            return Result<RecordingOutcome>(RecordingOutcome{RecordingCheck::Verdict::Recordable,
                                                             ordan::RecordOperation(db, ids, **meter, record)});
        },
        [this](const Result<RecordingOutcome> &outcome) {
            // Green means recorded: after a failed recording the indicator stays as it was, so the
            // operator never reads the error box and a green light as two different outcomes.
            if (reportRecording(outcome) && lightIndicator)
                lightIndicator();
        });
}

void CentralRecorder::BitBtn1Click()
{
    if (proposing_)
        return;
    proposing_ = true;
    withStation<NumberProposal>([](SqlSession &db, const StationIdentity &ids) { return ReserveNextNumber(db, ids); },
                                [this](Result<NumberProposal> next) {
                                    proposing_ = false;
                                    if (!next) {
                                        if (!next.error().isEmpty())
                                            report(next.error());
                                        return;
                                    }
                                    proposal_ = *next;
                                    if (next->nothingLeft()) {
                                        op_.showMessage(NoNumberText(*next), QStringLiteral("Ошибка"),
                                                        BoxIcon::Warning);
                                        return;
                                    }
                                    // An operator's change of the number: marked, so the next
                                    // write programs it.
                                    p_.SpinEdit_Number.edit(next->number);
                                });
}

void CentralRecorder::QueryDelta(int serialNumber)
{
    query<std::optional<QDateTime>>([serialNumber](SqlSession &db) { return LastClockSet(db, serialNumber); },
                                    [this, serialNumber](Result<std::optional<QDateTime>> last) {
                                        if (!last) {
                                            report(last.error());
                                            return;
                                        }
                                        // Another meter may be on the bench by now.
                                        if (p_.SpinEdit_Number.value() == serialNumber)
                                            p_.LastClockSet = last->value_or(QDateTime());
                                    });
}

void CentralRecorder::LoadRecordDefaults(std::function<void(bool)> then)
{
    query<RecordDefaults>([](SqlSession &db) { return ReadRecordDefaults(db); },
                          [this, then = std::move(then)](Result<RecordDefaults> defaults) {
                              if (!defaults) {
                                  // The window's first activation comes while this box is up: the
                                  // same failure would only be told twice.
                                  swallowActivation_ = true;
                                  report(defaults.error());
                                  if (then)
                                      then(false);
                                  return;
                              }
                              if (defaults->zones) {
                                  for (int zone = 0; zone < 6; ++zone) {
                                      const auto &z = (*defaults->zones)[static_cast<size_t>(zone)];
                                      schedule_.presetZone(zone, z.tariff, z.start);
                                  }
                              }
                              schedule_.presetSingleTariff(defaults->oneTariff);
                              if (defaults->indicator) {
                                  const auto boxes = p_.indicationBoxes();
                                  for (int bit = 0; bit < 4; ++bit)
                                      boxes[static_cast<size_t>(bit)]->set((*defaults->indicator >> bit) & 1);
                              }
                              if (defaults->password)
                                  p_.LabeledPass1.set(*defaults->password);
                              if (then)
                                  then(true);
                          });
}

} // namespace ordan
