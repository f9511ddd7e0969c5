#include "link/engine.h"

#include "core/operator.h"
#include "core/timer.h"
#include "link/frame.h"
#include "link/poll_cycle.h"
#include "link/reply_judge.h"

namespace ordan {

const QString &Engine::WriteErrorText()
{
    static const QString text =
        QStringLiteral("Во время записи установок произошла ошибка. Возможно, пароль для доступа некорректен "
                       "(сообщение \"Неверный отклик\" на закладке \"Протокол\").Возможно время таймаута "
                       "недостаточно (сообщение \"Timeout\" на закладке \"Протокол\").");
    return text;
}

Engine::Engine(Line &line, TimerFactory &timers, Operator &op, EngineHost &host, std::function<QDateTime()> clock,
               QObject *parent)
    : QObject(parent), Panel1(QStringLiteral("Panel1"), this), SpinAddr(QStringLiteral("SpinAddr"), &Panel1, 0, 0, 255),
      SpinTimer(QStringLiteral("SpinTimer"), &Panel1, 1000, 200, 10000),
      StatusPanel0(QStringLiteral("StatusPanel0"), this), StatusPanel1(QStringLiteral("StatusPanel1"), this),
      Shape1(QStringLiteral("Shape1"), this, Indicator::Hidden), line_(line), operator_(op), host_(host),
      log_(op, std::move(clock), this), link_(line, log_)
{
    SpinAddr.markOnEdit();
    line_.setListener(this);
    commands_.setChangeNotification([this] { queueChanged(); });

    timer1_ = timers.createTimer(50);
    timer2_ = timers.createTimer(SpinTimer.value());
    timerStart_ = timers.createTimer(100);
    timerShape_ = timers.createTimer(2000);
    timer3_ = timers.createTimer(500);
    timer1_->setHandler([this] { sendTimerTick(); });
    timer2_->setHandler([this] { replyTimeout(); });
    timerStart_->setHandler([this] { startTimerTick(); });
    timerShape_->setHandler([this] { shapeTimerTick(); });
    timer3_->setHandler([this] { host_.followClock(); });
    timer3_->enable();

    // A new time-out value restarts a running time-out with it.
    connect(&SpinTimer, &FieldBase::valueChanged, this, [this] { timer2_->setInterval(SpinTimer.value()); });
}

Engine::~Engine() { line_.setListener(nullptr); }

bool Engine::awaitingReply() const { return timer2_->isEnabled(); }
bool Engine::sendTimerEnabled() const { return timer1_->isEnabled(); }

void Engine::setDecoder(FunctionCode code, Decoder decoder) { decoders_[CodeByte(code)] = std::move(decoder); }

bool Engine::connectLine(const QString &port, int baud)
{
    PasswordChanged = false;
    StatusPanel0.set({});
    StatusPanel1.set({});
    if (!link_.open(port, baud))
        return false;
    StatusPanel1.set(line_.dsr() ? QString() : QStringLiteral("DSR не установлен"));
    connected_ = true;
    timerStart_->enable();
    host_.clearMeterData();
    SettingsWritePending = false;
    ScheduleWritePending = false;
    return true;
}

bool Engine::disconnectLine()
{
    StatusPanel0.set({});
    StatusPanel1.set({});
    if (!link_.close())
        return false;
    // Going down is not a completion: no FinishWrite, no record, no poll request.
    connected_ = false;
    SettingsWritePending = false;
    ScheduleWritePending = false;
    commands_.clear();
    // Whatever was under way must not go out on the next connection, which starts with the
    // version request; and a time-out of the abandoned exchange would log and offer the
    // address search on a closed port.
    timer1_->disable();
    timer2_->disable();
    timerStart_->disable();
    request_.clear();
    reply_.clear();
    host_.setWriteActionsEnabled(false);
    host_.setFindAddressEnabled(false);
    host_.clearMeterData();
    return true;
}

void Engine::EnqueueRequest(const QByteArray &body) { commands_.append(AppendCrc(body)); }

void Engine::DropRequests(FunctionCode code) { commands_.removeCode(CodeByte(code), awaitingReply() ? 1 : 0); }

void Engine::queueChanged()
{
    Q_EMIT commandsChanged();
    if (!commands_.isEmpty()) {
        if (!connected_) {
            commands_.clear();
            return;
        }
        request_ = commands_.head();
        // While the write-error box is open no exchange starts; closing it enables the timer.
        if (!boxOpen_)
            timer1_->enable();
        return;
    }
    if (!connected_)
        return;
    if (SettingsWritePending || ScheduleWritePending)
        FinishWrite();
    const quint8 step = PollStep;
    PollStep = NextPollStep(PollStep, MeterVersion);
    EnqueueRequest(PollRequestBody(step));
}

void Engine::ShowWriteIndicator()
{
    Shape1.set(Indicator::Green);
    timerShape_->enable();
}

void Engine::FinishWrite()
{
    SettingsWritePending = false;
    ScheduleWritePending = false;
    ShowWriteIndicator();
    host_.recordProgramming();
    host_.clearMeterData();
}

void Engine::AbortSequence()
{
    timer2_->disable();
    if (SettingsWritePending || ScheduleWritePending) {
        SettingsWritePending = false;
        ScheduleWritePending = false;
        Shape1.set(Indicator::Red);
        timerShape_->enable();
        boxOpen_ = true;
        commands_.clear();
        timer1_->disable();
        showWriteErrorBox();
        return;
    }
    commands_.clear();
}

void Engine::showWriteErrorBox()
{
    boxOpen_ = true;
    operator_.showMessage(WriteErrorText(), QStringLiteral("Ошибка"), BoxIcon::Error, [this] {
        boxOpen_ = false;
        // The connection may have gone while the box was open.
        if (connected_ && !commands_.isEmpty())
            timer1_->enable();
    });
}

void Engine::ActionFindAddressExecute()
{
    AddressSearch = true;
    SpinAddr.set(0);
}

void Engine::sendTimerTick()
{
    if (!line_.isOpen() || timer2_->isEnabled())
        return;
    timer1_->disable();
    reply_.clear();
    const int address = (SpinAddr.value() + (PasswordChanged ? 1 : 0)) % 256;
    link_.sendAddress(static_cast<quint8>(address));
    StatusPanel0.set(QString::number(link_.sendCount()));
    timer2_->enable();
}

void Engine::replyTimeout()
{
    timer2_->disable();
    if (PasswordChanged) {
        // The exchange went to the neighbouring address on purpose; resend to the real one.
        PasswordChanged = false;
        timer1_->enable();
        return;
    }
    if (AddressSearch) {
        SpinAddr.set(SpinAddr.value() >= 255 ? 0 : SpinAddr.value() + 1);
        if (!commands_.isEmpty())
            AbortSequence();
        return;
    }
    log_.timeout();
    if (!commands_.isEmpty())
        AbortSequence();
    host_.setFindAddressEnabled(true);
    ++TimeoutCount;
    if (TimeoutCount > 5) {
        host_.setWriteActionsEnabled(false);
        if (host_.sqlMode())
            SpinAddr.set(0);
        host_.clearMeterData();
    }
}

void Engine::startTimerTick()
{
    timerStart_->disable();
    link_.resetSendCount();
    log_.clear();
    PollStep = 0;
    // Whatever was queued in the first 100 ms is dropped here; a write among it must not
    // count as finished and be recorded.
    SettingsWritePending = false;
    ScheduleWritePending = false;
    commands_.clear();
    EnqueueRequest(PollRequestBody(0));
}

void Engine::shapeTimerTick()
{
    timerShape_->disable();
    Shape1.set(Indicator::Hidden);
    host_.executeActionReset();
}

void Engine::lineBytesReceived()
{
    if (!line_.isOpen())
        return;
    AddressSearch = false;
    host_.setFindAddressEnabled(false);
    StatusPanel1.set({});
    const QByteArray bytes = line_.readAll();
    if (bytes.isEmpty())
        return;
    log_.bytesReceived(bytes);
    if (link_.inAddressPhase()) {
        // An echo that comes after its exchange has timed out starts nothing: the request it
        // would release belongs to an exchange that is already over.
        if (timer2_->isEnabled() && !request_.isEmpty())
            link_.onAddressPhaseBytes(bytes, static_cast<quint8>(SpinAddr.value()), request_);
        return;
    }
    TimeoutCount = 0;
    host_.setWriteActionsEnabled(true);
    reply_.append(bytes);

    const Judgement judgement = JudgeReply(reply_, request_);
    switch (judgement.verdict) {
    case Verdict::Incomplete: return;
    case Verdict::ErrorReply:
        timer2_->disable();
        replyFailed(judgement.message);
        return;
    default: break;
    }
    if (!timer2_->isEnabled()) {
        // Complete while no reply is awaited: the time-out fired already or the frame was
        // judged before. Dropped without a message, and the queue is abandoned.
        replyFailed({});
        return;
    }
    if (judgement.verdict != Verdict::Valid) {
        replyFailed(judgement.message);
        return;
    }
    dispatchReply();
}

void Engine::dispatchReply()
{
    const quint8 code = static_cast<quint8>(request_.isEmpty() ? 0 : request_[0]);
    host_.replyAccepted(code);
    timer2_->disable();
    // The decoder gets its own copy: the next exchange may reuse the buffer.
    const QByteArray reply = reply_;
    if (decoders_[code])
        decoders_[code](reply);
    // Every reply ends by removing its request, whatever the decoder made of it.
    RemoveHead();
}

void Engine::replyFailed(const QString &message)
{
    if (!message.isEmpty())
        log_.message(message);
    if (!commands_.isEmpty()) {
        AbortSequence();
        RemoveHead();
    }
}

void Engine::lineTransmitEmpty() { link_.onTransmitEmpty(); }

void Engine::lineBreak() { StatusPanel1.set(QStringLiteral("Break received")); }

void Engine::lineError(LineError error, const QString &reason)
{
    if (error != LineError::Lost || !connected_)
        return;
    // The device is gone: disconnect as the operator would. A write under way cannot finish
    // and ends as a failed one.
    const bool writing = SettingsWritePending || ScheduleWritePending;
    if (!disconnectLine())
        return;
    if (writing) {
        Shape1.set(Indicator::Red);
        timerShape_->enable();
        showWriteErrorBox();
    }
    Q_EMIT lineLost(reason);
}

} // namespace ordan
