#include "link/engine.h"

#include "core/operator.h"
#include "core/timer.h"
#include "core/timings.h"
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

Engine::Engine(Line &line, TimerFactory &timers, Operator &op, EngineHost &host, ConnectionPanel &panel,
               std::function<QDateTime()> clock, QObject *parent)
    : QObject(parent), line_(line), operator_(op), host_(host), panel_(panel), log_(op, std::move(clock), this),
      link_(line, log_)
{
    line_.setListener(this);
    commands_.setChangeNotification([this] { queueChanged(); });

    sendTimer_ = timers.createTimer(timing::Ms(timing::kSendTick));
    replyTimer_ = timers.createTimer(panel_.SpinTimer.value());
    startTimer_ = timers.createTimer(timing::Ms(timing::kStartDelay));
    sendTimer_->setHandler([this] { sendTimerTick(); });
    replyTimer_->setHandler([this] { replyTimeout(); });
    startTimer_->setHandler([this] { startTimerTick(); });

    // A new time-out value restarts a running time-out with it.
    connect(&panel_.SpinTimer, &FieldBase::valueChanged, this,
            [this] { replyTimer_->setInterval(panel_.SpinTimer.value()); });
}

Engine::~Engine() { line_.setListener(nullptr); }

bool Engine::awaitingReply() const { return replyTimer_->isEnabled(); }
bool Engine::sendTimerEnabled() const { return sendTimer_->isEnabled(); }

void Engine::setDecoder(FunctionCode code, Decoder decoder) { decoders_[CodeByte(code)] = std::move(decoder); }

Status Engine::connectLine(const QString &port, int baud)
{
    passwordChanged_ = false;
    panel_.StatusPanel0.set({});
    panel_.StatusPanel1.set({});
    if (Status opened = link_.open(port, baud); !opened)
        return opened;
    panel_.StatusPanel1.set(line_.dsr() ? QString() : QStringLiteral("DSR не установлен"));
    apply(EngineEvent::Connected);
    startTimer_->enable();
    host_.clearMeterData();
    return {};
}

Status Engine::disconnectLine()
{
    panel_.StatusPanel0.set({});
    panel_.StatusPanel1.set({});
    if (Status closed = link_.close(); !closed)
        return closed;
    // Going down is not a completion: no FinishWrite, no record, no poll request.
    apply(EngineEvent::Disconnected);
    commands_.clear();
    // Whatever was under way must not go out on the next connection, which starts with the
    // version request; and a time-out of the abandoned exchange would log and offer the
    // address search on a closed port.
    sendTimer_->disable();
    replyTimer_->disable();
    startTimer_->disable();
    request_.clear();
    reply_.clear();
    host_.setWriteActionsEnabled(false);
    host_.setFindAddressEnabled(false);
    host_.clearMeterData();
    return {};
}

void Engine::beginWrite(WriteKind kind)
{
    apply(kind == WriteKind::Settings ? EngineEvent::SettingsWriteBegun : EngineEvent::ScheduleWriteBegun);
}

bool Engine::writePending(WriteKind kind) const
{
    const EngineState alone = kind == WriteKind::Settings ? EngineState::WritingSettings : EngineState::WritingSchedule;
    return state_ == alone || state_ == EngineState::WritingBoth;
}

void Engine::EnqueueRequest(const QByteArray &body) { commands_.append(AppendCrc(body)); }

void Engine::DropRequests(FunctionCode code) { commands_.removeCode(CodeByte(code), awaitingReply() ? 1 : 0); }

void Engine::queueChanged()
{
    Q_EMIT commandsChanged();
    if (!commands_.isEmpty()) {
        if (!isConnected()) {
            commands_.clear();
            return;
        }
        request_ = commands_.head();
        // While the write-error box is open no exchange starts; closing it enables the timer.
        if (!errorBoxOpen_)
            sendTimer_->enable();
        return;
    }
    if (!isConnected())
        return;
    if (writing())
        FinishWrite();
    const quint8 step = pollStep_;
    pollStep_ = NextPollStep(pollStep_, meterVersion_);
    EnqueueRequest(PollRequestBody(step));
}

void Engine::FinishWrite()
{
    apply(EngineEvent::QueueDrained);
    panel_.showIndicator(Indicator::Green);
    host_.recordProgramming();
    host_.clearMeterData();
}

void Engine::AbortSequence()
{
    replyTimer_->disable();
    if (writing()) {
        apply(EngineEvent::Failed);
        panel_.showIndicator(Indicator::Red);
        errorBoxOpen_ = writeErrorBox_;
        commands_.clear();
        sendTimer_->disable();
        showWriteErrorBox();
        Q_EMIT sequenceAbandoned(true);
        return;
    }
    commands_.clear();
    Q_EMIT sequenceAbandoned(false);
}

void Engine::showWriteErrorBox()
{
    if (!writeErrorBox_) {
        if (isConnected() && !commands_.isEmpty())
            sendTimer_->enable();
        return;
    }
    errorBoxOpen_ = true;
    operator_.showMessage(WriteErrorText(), QStringLiteral("Ошибка"), BoxIcon::Error, [this] {
        errorBoxOpen_ = false;
        // The connection may have gone while the box was open.
        if (isConnected() && !commands_.isEmpty())
            sendTimer_->enable();
    });
}

void Engine::ActionFindAddressExecute()
{
    addressSearch_ = true;
    panel_.SpinAddr.set(0);
}

void Engine::sendTimerTick()
{
    if (!line_.isOpen() || replyTimer_->isEnabled())
        return;
    sendTimer_->disable();
    reply_.clear();
    const int address = (panel_.SpinAddr.value() + (passwordChanged_ ? 1 : 0)) % 256;
    const Status sent = link_.sendAddress(static_cast<quint8>(address));
    panel_.StatusPanel0.set(QString::number(link_.sendCount()));
    if (!sent) {
        exchangeFailed(sent.error());
        return;
    }
    replyTimer_->enable();
}

void Engine::exchangeFailed(const QString &text)
{
    // Nothing will answer bytes that did not go out: the exchange fails now, not at its time-out.
    replyTimer_->disable();
    panel_.StatusPanel1.set(text);
    if (!commands_.isEmpty())
        AbortSequence();
}

void Engine::replyTimeout()
{
    replyTimer_->disable();
    if (passwordChanged_) {
        // The exchange went to the neighbouring address on purpose; resend to the real one.
        passwordChanged_ = false;
        sendTimer_->enable();
        return;
    }
    if (addressSearch_) {
        panel_.SpinAddr.set(panel_.SpinAddr.value() >= 255 ? 0 : panel_.SpinAddr.value() + 1);
        if (!commands_.isEmpty())
            AbortSequence();
        return;
    }
    log_.timeout();
    if (!commands_.isEmpty())
        AbortSequence();
    host_.setFindAddressEnabled(true);
    ++timeoutCount_;
    if (timeoutCount_ > 5)
        host_.meterSilent();
}

void Engine::startTimerTick()
{
    startTimer_->disable();
    link_.resetSendCount();
    log_.clear();
    pollStep_ = 0;
    // Whatever was queued before the first request is dropped here; a write among it must not
    // count as finished and be recorded.
    apply(EngineEvent::StartDropped);
    commands_.clear();
    EnqueueRequest(PollRequestBody(0));
}

void Engine::lineBytesReceived()
{
    if (!line_.isOpen())
        return;
    addressSearch_ = false;
    host_.setFindAddressEnabled(false);
    panel_.StatusPanel1.set({});
    const QByteArray bytes = line_.readAll();
    if (bytes.isEmpty())
        return;
    log_.bytesReceived(bytes);
    if (link_.inAddressPhase()) {
        // An echo that comes after its exchange has timed out starts nothing: the request it
        // would release belongs to an exchange that is already over.
        if (replyTimer_->isEnabled() && !request_.isEmpty()) {
            const Result<bool> sent =
                link_.onAddressPhaseBytes(bytes, static_cast<quint8>(panel_.SpinAddr.value()), request_);
            if (!sent)
                exchangeFailed(sent.error());
        }
        return;
    }
    timeoutCount_ = 0;
    host_.setWriteActionsEnabled(true);
    reply_.append(bytes);

    const Judgement judgement = JudgeReply(reply_, request_);
    switch (judgement.verdict) {
    case Verdict::Incomplete: return;
    case Verdict::ErrorReply:
        replyTimer_->disable();
        replyFailed(judgement.message);
        return;
    default: break;
    }
    if (!replyTimer_->isEnabled()) {
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
    replyTimer_->disable();
    // The decoder gets its own copy: the next exchange may reuse the buffer.
    const QByteArray reply = reply_;
    if (decoders_[code])
        decoders_[code](reply);
    Q_EMIT replyDispatched(request_, reply);
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

void Engine::lineBreak() { panel_.StatusPanel1.set(QStringLiteral("Break received")); }

void Engine::lineError(LineError error, const QString &reason)
{
    if (!isConnected())
        return;
    const QString text = PortErrorText(link_.port(), reason);
    log_.message(text);
    if (error != LineError::Lost) {
        // The line goes on; a write it could not complete leaves its exchange unanswered.
        if (error == LineError::Write && awaitingReply())
            exchangeFailed(text);
        else
            panel_.StatusPanel1.set(text);
        return;
    }
    // The device is gone: disconnect as the operator would. A write under way cannot finish
    // and ends as a failed one.
    const bool wasWriting = writing();
    if (Status closed = disconnectLine(); !closed) {
        log_.message(PortErrorText(link_.port(), closed.error()));
        return;
    }
    if (wasWriting) {
        panel_.showIndicator(Indicator::Red);
        showWriteErrorBox();
        Q_EMIT sequenceAbandoned(true);
    }
    Q_EMIT lineLost(reason);
}

} // namespace ordan
