#pragma once

#include "link/command_queue.h"
#include "link/connection_panel.h"
#include "link/engine_state.h"
#include "link/exchange_log.h"
#include "link/line.h"
#include "link/protocol.h"
#include "link/serial_link.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>

#include <array>
#include <functional>
#include <memory>

namespace ordan {

class Operator;
class Timer;
class TimerFactory;

// What the engine needs of the rest of the station: the meter data it blanks, the record it
// makes when a write completes, and the commands it enables and disables.
class EngineHost {
public:
    virtual ~EngineHost() = default;
    virtual void clearMeterData() = 0;
    virtual void recordProgramming() = 0;
    virtual void setWriteActionsEnabled(bool on) = 0; // ActionSetting and ActionFixDb
    virtual void setFindAddressEnabled(bool on) = 0;  // ActionFindAddress
    virtual void replyAccepted(quint8 code) = 0;      // journal progress bars follow the code
    // Every time-out after the fifth in a row: the meter is taken for gone.
    virtual void meterSilent() = 0;
};

// The two write sequences; each ends with the record of the programming.
enum class WriteKind { Settings, Schedule };

// The transaction engine: one command queue, one exchange at a time, the reply time-out, the
// reply tests, the decoders, the idle polling cycle, the end of write sequences and the
// address search. Driven by timer ticks and line events, all on the main thread.
class Engine final : public QObject, private LineListener {
    Q_OBJECT
public:
    using Decoder = std::function<void(const QByteArray &reply)>;

    static const QString &WriteErrorText();

    // The engine reads the bus address and the time-out from `panel` and shows its status and
    // the outcome of writes there.
    Engine(Line &line, TimerFactory &timers, Operator &op, EngineHost &host, ConnectionPanel &panel,
           std::function<QDateTime()> clock, QObject *parent = nullptr);
    ~Engine() override;

    ExchangeLog &log() { return log_; }
    ConnectionPanel &panel() { return panel_; }
    const ExchangeLog &log() const { return log_; }
    const CommandQueue &commands() const { return commands_; }

    // The link half of connecting and disconnecting; a failure when the port would not open or
    // close, with the system's reason. Disconnecting ends every exchange: nothing queued,
    // awaited or half-sent survives into the next connection.
    Status connectLine(const QString &port, int baud);
    Status disconnectLine();
    bool isConnected() const { return IsConnected(state_); }
    EngineState state() const { return state_; }

    void EnqueueRequest(const QByteArray &body);
    void RemoveHead() { commands_.removeHead(); }
    // Drops the queued requests of one function code (a journal read the operator stops).
    // A request whose exchange is under way stays: its reply or time-out removes it.
    void DropRequests(FunctionCode code);
    void AbortSequence();
    void ActionFindAddressExecute();

    // The decoder of the replies to `code`; an empty one removes it.
    void setDecoder(FunctionCode code, Decoder decoder);
    bool hasDecoder(quint8 code) const { return static_cast<bool>(decoders_[code]); }

    // A write sequence queued: when the queue next runs dry the write has completed.
    void beginWrite(WriteKind kind);
    bool writePending(WriteKind kind) const;
    bool writing() const { return IsWriting(state_); }
    // A new password takes effect at once: the next exchange goes to the neighbouring address
    // on purpose, and its time-out resends to the real one.
    void setPasswordChanged(bool changed) { passwordChanged_ = changed; }
    bool passwordChanged() const { return passwordChanged_; }
    bool addressSearch() const { return addressSearch_; }
    // Off, a failed write is told by the red indicator and sequenceAbandoned alone: a line of
    // meters does not stop for a box.
    void setWriteErrorBox(bool shown) { writeErrorBox_ = shown; }

    // The firmware version read from the meter; the poll cycle and the schedule follow it.
    int meterVersion() const { return meterVersion_; }
    void setMeterVersion(int version) { meterVersion_ = version; }
    quint8 pollStep() const { return pollStep_; }
    // Time-outs in a row; a reply byte ends the run.
    qint32 timeoutCount() const { return timeoutCount_; }
    qint32 sendCount() const { return link_.sendCount(); }
    const QByteArray &request() const { return request_; }
    const QByteArray &reply() const { return reply_; }
    bool awaitingReply() const;
    bool sendTimerEnabled() const;

Q_SIGNALS:
    // The port went away under the connection; the engine has disconnected already. Every
    // port error, this one too, is in the exchange log with its reason; the others stay on
    // status panel 1 until the next receive event.
    void lineLost(const QString &reason);
    // Every change of Commands, before the engine acts on it.
    void commandsChanged();
    // A valid reply, after its decoder and before its request is removed.
    void replyDispatched(const QByteArray &request, const QByteArray &reply);
    // A failed exchange dropped the queue; `write` when a write sequence was pending, the port
    // going away included.
    void sequenceAbandoned(bool write);

private:
    void lineBytesReceived() override;
    void lineTransmitEmpty() override;
    void lineBreak() override;
    void lineError(LineError error, const QString &reason) override;

    void queueChanged();
    void FinishWrite();
    void sendTimerTick();
    void replyTimeout();
    void startTimerTick();
    void apply(EngineEvent event) { state_ = NextState(state_, event); }
    void replyFailed(const QString &message);
    void exchangeFailed(const QString &text);
    void showWriteErrorBox();
    void dispatchReply();

    Line &line_;
    Operator &operator_;
    EngineHost &host_;
    ConnectionPanel &panel_;
    ExchangeLog log_;
    SerialLink link_;
    CommandQueue commands_;
    QByteArray request_;
    QByteArray reply_;
    EngineState state_ = EngineState::Disconnected;
    bool errorBoxOpen_ = false;
    bool writeErrorBox_ = true;
    bool passwordChanged_ = false;
    bool addressSearch_ = false;
    int meterVersion_ = 0;
    quint8 pollStep_ = 0;
    qint32 timeoutCount_ = 0;
    std::array<Decoder, 256> decoders_;

    std::unique_ptr<Timer> sendTimer_;  // the next exchange, timing::kSendTick
    std::unique_ptr<Timer> replyTimer_; // the reply time-out, SpinTimer ms
    std::unique_ptr<Timer> startTimer_; // the first request, timing::kStartDelay after connecting
};

} // namespace ordan
