#pragma once

#include "core/background.h"
#include "core/modes.h"
#include "core/result.h"
#include "records/number_reservation.h"
#include "records/production_db.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ordan {

class Action;
class MeterParameters;
class Operator;
class ScheduleModel;
class SqlSession;
class SystemFacts;
struct MeterHooks;

// The main window's work on the production database in database mode: identifying the
// workstation at every activation, following the server's clock, recording programmings,
// "Зафиксировать в БД", the "+" button's next unprogrammed number, the look-up of the
// meter's last clock setting and the start-up defaults.
//
// Every statement runs on the database's background worker, never on the window's thread:
// the handlers take what they need from the fields at once, and their outcome (the fields
// set, the boxes shown) follows when the worker has answered. The worker runs the jobs in the
// order they were posted, so records keep the order of the writes they belong to.
class CentralRecorder final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SqlSession &db; // touched only by jobs on `background`
        Background &background;
        MeterParameters &parameters;
        MeterHooks &hooks;
        ScheduleModel &schedule;
        Action &ActionFixDb;
        Operator &op;
        SystemFacts &facts;
        Modes modes;
    };

    // In database mode fills the two hooks and the handlers of "+" and ActionFixDb, and takes
    // them back when it goes; in normal mode it touches nothing and does nothing.
    explicit CentralRecorder(Parts parts, QObject *parent = nullptr);
    ~CentralRecorder() override;

    // The general error report (Station::ReportError).
    std::function<void(const QString &error)> reportError;
    // Ends the program without the main window's close steps; run once the operator has
    // dismissed an identification message.
    std::function<void()> endProgram;
    // Lights the write indicator green and starts its 2 s timer, as after a finished write.
    std::function<void()> lightIndicator;

    const StationIdentity &identity() const { return identity_; }
    bool identified() const { return identity_.person_id != 0 && identity_.plant_id != 0; }
    // An identification message is on screen and the program is about to end.
    bool ending() const { return ending_; }
    Operator &op() { return op_; }
    const Modes &modes() const { return modes_; }

    // Activation of the main window (database mode only).
    void FormActivate();
    void IdentifyStation();

    // FinishWrite's recording step.
    void RecordCentral();
    // The same for a record taken earlier (the line mode judges it first); `done` tells
    // whether it was recorded.
    void recordMeter(int number, OperationRecord record, std::function<void(bool recorded)> done = {});
    // The line mode's step before it writes a meter: the number it is to carry (the next one
    // "+" gives, held for this station, when it has none) once the database allows it: a meter
    // under repair or not registered is refused. `done` gets the number or the refusal's text.
    void prepareLineMeter(int number, std::function<void(Result<int> number)> done);
    void ActionFixDbExecute();
    // "+": the smallest registered number without a programming that no other station of the
    // line holds, held for this one until it is recorded, another is proposed or the station ends.
    void BitBtn1Click();
    // Asks for the date-time a station last set the clock of the meter with this number;
    // the answer goes to LastClockSet while the number is still shown.
    void QueryDelta(int serialNumber);
    // Start-up step 16; `then` runs with false after a reported failure.
    void LoadRecordDefaults(std::function<void(bool loaded)> then = {});

    // Runs `work` on the database worker for this station, identifying it there first when an
    // earlier identification did not complete (the server was unreachable then); `done` gets
    // the result on the window's thread. When the program is ending or the station turns out
    // not to be known to the database, `work` does not run and `done` gets a failure with an
    // empty text: that has been reported as at an activation.
    template <typename T>
    void withStation(std::function<Result<T>(SqlSession &, const StationIdentity &)> work,
                     std::function<void(Result<T>)> done);
    // Runs `work` on the database worker; `done` gets the result on the window's thread
    // unless the recorder has gone meanwhile.
    template <typename T> void query(std::function<Result<T>(SqlSession &)> work, std::function<void(Result<T>)> done)
    {
        RunInBackground<Result<T>>(
            background_, this, [&db = db_, work = std::move(work)] { return work(db); }, std::move(done));
    }

    void report(const QString &error);

private:
    // What an identification found, applied on the window's thread; false when the station
    // is not (or no longer) known.
    bool applyIdentification(const Result<Identification> &found);
    struct RecordingOutcome;
    // What a recording job found, told to the operator: the failure, the refusal or the failed
    // transaction's box; true when the programming was recorded.
    bool reportRecording(const Result<RecordingOutcome> &outcome);
    void prepareSettingsWrite(int numberToProgram, std::function<void(bool)> proceed);
    void setClockFromServer(const QDateTime &serverNow);
    void postStationJob(std::function<void(SqlSession &, std::optional<Result<Identification>> &)> job,
                        std::function<void(const std::optional<Result<Identification>> &)> done);

    SqlSession &db_;
    Background &background_;
    MeterParameters &p_;
    MeterHooks &hooks_;
    ScheduleModel &schedule_;
    Action &actionFixDb_;
    Operator &op_;
    SystemFacts &facts_;
    Modes modes_;
    StationIdentity identity_;
    bool ending_ = false;
    // An identification is on the worker: further activations add nothing to it.
    bool identifying_ = false;
    // The first identification of this run has freed what an earlier run of the work place held.
    bool releasedAtStart_ = false;
    // "+" is on the worker: a second press waits for its answer.
    bool proposing_ = false;
    NumberProposal proposal_;
    // The report box of a failed identification hands the activation back to the main window
    // when it closes; that activation is the box's, not the operator's, and is not retried.
    bool swallowActivation_ = false;
};

template <typename T>
void CentralRecorder::withStation(std::function<Result<T>(SqlSession &, const StationIdentity &)> work,
                                  std::function<void(Result<T>)> done)
{
    auto result = std::make_shared<std::optional<Result<T>>>();
    postStationJob(
        [result, work = std::move(work), known = identity_](SqlSession &db,
                                                            std::optional<Result<Identification>> &found) {
            StationIdentity ids = known;
            if (found) {
                if (!*found || (*found)->missing != Identification::Missing::None)
                    return;
                ids = (*found)->ids;
            }
            result->emplace(work(db, ids));
        },
        [this, result, done = std::move(done)](const std::optional<Result<Identification>> &found) {
            const bool known = !ending_ && (!found || applyIdentification(*found));
            if (known && *result)
                done(std::move(**result));
            else
                done(Fail({}));
        });
}

} // namespace ordan
