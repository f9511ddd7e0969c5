#pragma once

#include "core/field.h"
#include "link/command_queue.h"
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
    virtual void executeActionReset() = 0;
    virtual void setWriteActionsEnabled(bool on) = 0; // ActionSetting and ActionFixDb
    virtual void setFindAddressEnabled(bool on) = 0;  // ActionFindAddress
    virtual void replyAccepted(quint8 code) = 0;      // journal progress bars follow the code
    virtual void followClock() = 0;                   // 500 ms tick of the clock follower
    virtual bool sqlMode() const = 0;
};

enum class Indicator { Hidden, Green, Red };

// The transaction engine: one command queue, one exchange at a time, the reply time-out, the
// reply tests, the decoders, the idle polling cycle, the end of write sequences and the
// address search. Driven by timer ticks and line events, all on the main thread.
class Engine final : public QObject, private LineListener {
    Q_OBJECT
public:
    using Decoder = std::function<void(const QByteArray &reply)>;

    static const QString &WriteErrorText();

    Engine(Line &line, TimerFactory &timers, Operator &op, EngineHost &host, std::function<QDateTime()> clock,
           QObject *parent = nullptr);
    ~Engine() override;

    // Fields of the connection panel and the status bar that the engine drives.
    Container Panel1;
    IntField SpinAddr;  // bus address 0..255
    IntField SpinTimer; // reply time-out, ms
    TextField StatusPanel0;
    TextField StatusPanel1;
    Field<Indicator> Shape1;

    ExchangeLog &log() { return log_; }
    const ExchangeLog &log() const { return log_; }
    const CommandQueue &commands() const { return commands_; }

    // The link half of connecting and disconnecting; false when the port would not open or
    // close (the line's errorText() says why). Disconnecting ends every exchange: nothing
    // queued, awaited or half-sent survives into the next connection.
    bool connectLine(const QString &port, int baud);
    bool disconnectLine();
    bool isConnected() const { return connected_; }

    void EnqueueRequest(const QByteArray &body);
    void RemoveHead() { commands_.removeHead(); }
    // Drops the queued requests of one function code (a journal read the operator stops).
    // A request whose exchange is under way stays: its reply or time-out removes it.
    void DropRequests(FunctionCode code);
    void AbortSequence();
    void ActionFindAddressExecute();
    // The green write indicator for 2 s, as a finished write lights it.
    void ShowWriteIndicator();

    // The decoder of the replies to `code`; an empty one removes it.
    void setDecoder(FunctionCode code, Decoder decoder);
    bool hasDecoder(quint8 code) const { return static_cast<bool>(decoders_[code]); }

    bool SettingsWritePending = false;
    bool ScheduleWritePending = false;
    bool PasswordChanged = false;
    bool AddressSearch = false;

    int MeterVersion = 0;
    quint8 PollStep = 0;
    qint32 TimeoutCount = 0;
    qint32 sendCount() const { return link_.sendCount(); }
    const QByteArray &request() const { return request_; }
    const QByteArray &reply() const { return reply_; }
    bool awaitingReply() const;
    bool sendTimerEnabled() const;

Q_SIGNALS:
    // The port went away under the connection; the engine has disconnected already.
    void lineLost(const QString &reason);
    // Every change of Commands, before the engine acts on it.
    void commandsChanged();

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
    void shapeTimerTick();
    void replyFailed(const QString &message);
    void showWriteErrorBox();
    void dispatchReply();

    Line &line_;
    Operator &operator_;
    EngineHost &host_;
    ExchangeLog log_;
    SerialLink link_;
    CommandQueue commands_;
    QByteArray request_;
    QByteArray reply_;
    bool connected_ = false;
    bool boxOpen_ = false;
    std::array<Decoder, 256> decoders_;

    std::unique_ptr<Timer> timer1_;     // send timer, 50 ms
    std::unique_ptr<Timer> timer2_;     // reply timer, SpinTimer ms
    std::unique_ptr<Timer> timerStart_; // first request, 100 ms after connecting
    std::unique_ptr<Timer> timerShape_; // write indicator, 2 s
    std::unique_ptr<Timer> timer3_;     // clock follower, 500 ms
};

} // namespace ordan
