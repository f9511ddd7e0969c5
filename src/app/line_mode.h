#pragma once

#include "app/line_counters.h"
#include "core/field.h"
#include "core/result.h"
#include "meter/read_back.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace ordan {

class Engine;
class MeterParameters;
class SettingsWriter;
class SystemFacts;
struct SettingsSequence;

// Where the line stands with the meter on the bench.
enum class LineState : quint8 {
    Off,
    WaitingForMeter, // the bus was silent: the next meter to answer is new
    WaitingForNext,  // a meter is finished: another one, or silence, arms again
    Preparing,       // the database is asked for the meter's number and whether it may be written
    Writing,         // the settings write of F12 is under way
    ReadingBack,     // every value written is being read back
};

enum class LineOutcome : quint8 { None, Done, Failed, Refused };

// The line mode: with the settings prepared on the pages, every new meter on the bus is
// given a number when it has none, written as F12 writes, read back and compared, recorded
// when it matches and counted. It drives the station's own write and record paths and
// learns the rest from the engine's events.
class LineMode final : public QObject {
    Q_OBJECT
public:
    struct Parts {
        Engine &engine;
        MeterParameters &parameters;
        SettingsWriter &writer;
        SystemFacts &facts;
    };
    // The record of the finished write, taken from the fields at once (they are cleared right
    // after); the function it gives back stores it, told whether everything read back matched.
    using RecordCommit = std::function<void(bool matched)>;

    LineMode(Parts parts, LineCounters counters, QObject *parent = nullptr);
    ~LineMode() override;

    std::function<RecordCommit()> captureRecord;
    // Database mode: the number the meter is to carry (`number`, or the next one for a meter
    // without one) once the database allows it to be written, or the refusal's text. Without
    // it the line gives LineNextNumber.
    std::function<void(int number, std::function<void(Result<int>)> done)> prepareMeter;
    // Each change of the counters, to keep them across a restart.
    std::function<void(const LineCounters &)> saveCounters;
    // A line for the exchange log: what differed, why a meter failed.
    std::function<void(const QString &)> log;

    // The number the next meter without one is given, counted up by one per meter given it.
    IntField LineNextNumber;
    // The result for the operator at arm's length, and its colour.
    TextField LineResult;
    Field<LineOutcome> LineResultKind;

    void setArmed(bool armed);
    bool armed() const { return armed_; }
    LineState state() const { return state_; }
    const LineCounters &counters() const { return counters_; }
    // A defect was registered for a meter of this shift.
    void defectRegistered();

    // The station's part of the engine's host calls: the end of a write (true when the line
    // takes its record over), the meter gone silent and the link gone.
    bool takeRecord();
    void meterSilent();
    void linkDown();

Q_SIGNALS:
    // A meter is finished: the result is shown and the counters are up to date.
    void meterFinished(LineOutcome outcome);

private:
    struct Identity {
        int number = 0;
        QString version;
        bool operator==(const Identity &) const = default;
    };
    void replyDispatched(const QByteArray &request, const QByteArray &reply);
    void sequenceAbandoned(bool write);
    void sequenceQueued(const SettingsSequence &sequence);
    std::optional<Identity> identityOnBus() const;
    void program(const Identity &meter);
    void prepared(const Identity &meter, const Result<int> &number);
    void startWrite(int number, bool giveNumber);
    void readBackReply(const QByteArray &request, const QByteArray &reply);
    void finish(LineOutcome outcome, const QString &reason);
    void idle();
    // The counters of today's shift: kept ones from another day start again at zero.
    LineCounters &shiftCounters();

    Engine &engine_;
    MeterParameters &p_;
    SettingsWriter &writer_;
    SystemFacts &facts_;
    LineCounters counters_;
    bool armed_ = false;
    LineState state_ = LineState::Off;
    bool programming_ = false; // our own F12 is running: the sequence queued is the meter's
    bool queued_ = false;      // and it has queued its sequence
    // The meter last finished, as it answered before and after: neither is programmed again
    // until the bus has been silent.
    std::vector<Identity> finished_;
    // A new meter on the bus, and the codes read from it since: it is programmed when the
    // poll comes round to a code again.
    std::optional<Identity> candidate_;
    std::set<quint8> codesRead_;
    int number_ = 0; // of the meter under way
    WrittenValues written_;
    RecordCommit commit_;
    std::deque<QByteArray> readBack_; // requests still to be answered, without CRC
    std::map<quint8, QByteArray> replies_;
    // The clock the write sent, how far it stood ahead of the PC's when the meter took it (the
    // database mode corrects the PC clock after the pickers took theirs), and the clock the
    // meter should show at its clock reply.
    std::optional<QDateTime> clockWritten_;
    qint64 clockAheadMs_ = 0;
    QDateTime clockExpected_;
};

} // namespace ordan
