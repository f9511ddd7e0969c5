#pragma once

#include "core/modes.h"
#include "core/result.h"
#include "records/production_db.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

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
class CentralRecorder final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SqlSession &db;
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
    SqlSession &db() { return db_; }
    Operator &op() { return op_; }
    const Modes &modes() const { return modes_; }

    // Activation of the main window (database mode only).
    void FormActivate();
    void IdentifyStation();
    // Sets the PC clock from the server's; fails with the database's error text when it could
    // not be read (the clock then stays as it is). Reports nothing itself.
    Status SyncClockWithServer();

    // FinishWrite's recording step.
    void RecordCentral();
    // False when nothing was recorded (the operator has been told why).
    bool RecordOperation(int electroId, bool withSettings);
    void ActionFixDbExecute();
    // "+": the smallest registered number without a programming.
    void BitBtn1Click();
    // The date-time a station last set the clock of the meter with this number; invalid when
    // none is recorded or the database could not be asked (then reported).
    QDateTime QueryDelta(int serialNumber);
    // Start-up step 16; false after a reported failure.
    bool LoadRecordDefaults();

    // Identifies the station first when an earlier identification did not complete (the
    // server was unreachable then); false when the ids are still unknown.
    bool ensureIdentified();

    void report(const QString &error);

private:
    SqlSession &db_;
    MeterParameters &p_;
    MeterHooks &hooks_;
    ScheduleModel &schedule_;
    Action &actionFixDb_;
    Operator &op_;
    SystemFacts &facts_;
    Modes modes_;
    StationIdentity identity_;
    bool ending_ = false;
    // The report box of a failed identification hands the activation back to the main window
    // when it closes; that activation is the box's, not the operator's, and is not retried.
    bool swallowActivation_ = false;
};

} // namespace ordan
