#include "app/line_mode.h"

#include "core/bytes.h"
#include "core/system_facts.h"
#include "link/engine.h"
#include "link/protocol.h"
#include "meter/meter_clock.h"
#include "meter/meter_parameters.h"
#include "meter/settings_writer.h"

namespace ordan {

LineMode::LineMode(Parts parts, LineCounters counters, QObject *parent)
    : QObject(parent), LineNextNumber(QStringLiteral("LineNextNumber"), this, 1, 1, 131071),
      LineResult(QStringLiteral("LineResult"), this), LineResultKind(QStringLiteral("LineResultKind"), this),
      engine_(parts.engine), p_(parts.parameters), writer_(parts.writer), facts_(parts.facts),
      counters_(std::move(counters))
{
    LineNextNumber.markOnEdit();
    connect(&engine_, &Engine::replyDispatched, this, &LineMode::replyDispatched);
    connect(&engine_, &Engine::sequenceAbandoned, this, &LineMode::sequenceAbandoned);
    writer_.sequenceQueued = [this](const SettingsSequence &sequence) { sequenceQueued(sequence); };
    writer_.sequenceRefused = [this] {
        if (programming_ && state_ == LineState::Writing)
            finish(LineOutcome::Refused, QStringLiteral("запись отклонена базой данных"));
    };
}

LineMode::~LineMode()
{
    writer_.sequenceQueued = {};
    writer_.sequenceRefused = {};
    engine_.setWriteErrorBox(true);
}

void LineMode::setArmed(bool armed)
{
    if (armed == armed_)
        return;
    armed_ = armed;
    if (armed_) {
        // A failed write must not wait for the operator's box: the line goes on.
        engine_.setWriteErrorBox(false);
        // The meter on the bench when the mode is armed is the first one to program.
        finished_.clear();
        candidate_.reset();
        state_ = LineState::WaitingForMeter;
        return;
    }
    // A meter under way finishes as F12's write does; the mode ends with it. One the database
    // is still being asked about is not written.
    if (state_ != LineState::Writing && state_ != LineState::ReadingBack)
        idle();
}

void LineMode::idle()
{
    state_ = LineState::Off;
    engine_.setWriteErrorBox(true);
}

std::optional<LineMode::Identity> LineMode::identityOnBus() const
{
    if (!p_.identityRead || p_.LabeledVersion.value().isEmpty() || p_.SpinEdit_Number.mark() != 0)
        return std::nullopt;
    return Identity{p_.SpinEdit_Number.value(), p_.LabeledVersion.value()};
}

void LineMode::replyDispatched(const QByteArray &request, const QByteArray &reply)
{
    switch (state_) {
    case LineState::Off:
    case LineState::Preparing: return;
    case LineState::Writing:
        if (ByteAt(request, 0) == CodeByte(FunctionCode::WriteClock) && clockWritten_)
            clockAheadMs_ = NaiveMs(*clockWritten_) - NaiveMs(facts_.now());
        return;
    case LineState::ReadingBack: readBackReply(request, reply); return;
    case LineState::WaitingForMeter:
    case LineState::WaitingForNext: break;
    }
    const std::optional<Identity> meter = identityOnBus();
    if (!meter)
        return;
    if (state_ == LineState::WaitingForNext && std::find(finished_.begin(), finished_.end(), *meter) != finished_.end())
        return;
    // The record takes every field the poll shows, so the new meter is written only once each
    // of them has been read from it: a meter swapped in under the poll leaves the previous
    // one's values in the fields read before its identity.
    const quint8 code = ByteAt(request, 0);
    if (candidate_ != meter) {
        candidate_ = meter;
        codesRead_ = {code};
        return;
    }
    if (codesRead_.insert(code).second)
        return;
    candidate_.reset();
    program(*meter);
}

void LineMode::program(const Identity &meter)
{
    finished_ = {meter};
    number_ = meter.number;
    written_ = {};
    if (!prepareMeter) {
        startWrite(meter.number != 0 ? meter.number : LineNextNumber.value(), meter.number == 0);
        return;
    }
    state_ = LineState::Preparing;
    prepareMeter(meter.number, [this, meter](Result<int> number) { prepared(meter, number); });
}

void LineMode::prepared(const Identity &meter, const Result<int> &number)
{
    // Disarmed or disconnected meanwhile: the meter is not written.
    if (state_ != LineState::Preparing)
        return;
    if (!number) {
        finish(LineOutcome::Refused, number.error().isEmpty() ? QStringLiteral("ошибка базы данных") : number.error());
        return;
    }
    if (identityOnBus() != meter) {
        finish(LineOutcome::Failed, QStringLiteral("прибор снят до записи"));
        return;
    }
    startWrite(*number, meter.number == 0);
}

void LineMode::startWrite(int number, bool giveNumber)
{
    number_ = number;
    // As if typed: the write programs the number.
    if (giveNumber)
        p_.SpinEdit_Number.edit(number_);
    state_ = LineState::Writing;
    programming_ = true;
    queued_ = false;
    p_.ActionSetting.execute();
    // The database mode asks the server first; its answer queues the write or refuses it later.
    if (!queued_ && !writer_.preparing() && state_ == LineState::Writing)
        finish(LineOutcome::Refused, QStringLiteral("запись не начата"));
}

void LineMode::sequenceQueued(const SettingsSequence &sequence)
{
    // F12 pressed by the operator between meters is the operator's write, not the line's.
    if (!programming_ || state_ != LineState::Writing)
        return;
    queued_ = true;
    written_ = WrittenFromFrames(sequence.bodies, p_.LabeledPass1.value());
    clockWritten_ = sequence.clockWritten;
    clockAheadMs_ = 0;
    // A number sent is spent, whatever becomes of this meter: a reply lost on the wire may
    // hide that the meter took it, and no two meters may carry one number.
    if (written_.serialNumber && *written_.serialNumber >= LineNextNumber.value())
        LineNextNumber.set(*written_.serialNumber + 1);
}

bool LineMode::takeRecord()
{
    if (state_ != LineState::Writing)
        return false;
    commit_ = captureRecord ? captureRecord() : RecordCommit();
    replies_.clear();
    clockExpected_ = {};
    const std::vector<QByteArray> requests = ReadBackRequests(written_);
    readBack_.assign(requests.begin(), requests.end());
    state_ = LineState::ReadingBack;
    for (const QByteArray &body : requests)
        engine_.EnqueueRequest(body);
    return true;
}

void LineMode::readBackReply(const QByteArray &request, const QByteArray &reply)
{
    if (readBack_.empty() || request.chopped(kCrcSize) != readBack_.front())
        return;
    const quint8 code = ByteAt(request, 0);
    replies_[code] = reply;
    if (code == CodeByte(FunctionCode::ReadClock)) {
        // Zone-less, as the meter reckons: a summer-time change between does not count.
        const QDateTime now = facts_.now();
        clockExpected_ = QDateTime(now.date(), now.time(), Qt::UTC).addMSecs(clockAheadMs_);
    }
    readBack_.pop_front();
    if (!readBack_.empty())
        return;
    const QStringList differences = ReadBackDifferences(written_, replies_, clockExpected_);
    if (differences.isEmpty())
        finish(LineOutcome::Done, {});
    else
        finish(LineOutcome::Failed, differences.join(QStringLiteral("; ")));
}

void LineMode::sequenceAbandoned(bool write)
{
    if (state_ == LineState::Writing && write)
        finish(LineOutcome::Failed, QStringLiteral("ошибка записи"));
    else if (state_ == LineState::ReadingBack)
        finish(LineOutcome::Failed, QStringLiteral("нет ответа при проверке"));
}

void LineMode::meterSilent()
{
    // Silence after a finished meter: whatever answers next is another one.
    candidate_.reset();
    if (state_ == LineState::WaitingForNext || state_ == LineState::WaitingForMeter) {
        finished_.clear();
        state_ = LineState::WaitingForMeter;
    }
}

void LineMode::linkDown()
{
    candidate_.reset();
    if (state_ == LineState::Writing || state_ == LineState::ReadingBack || state_ == LineState::Preparing)
        finish(LineOutcome::Failed, QStringLiteral("связь разорвана"));
}

LineCounters &LineMode::shiftCounters()
{
    const QDate today = facts_.now().date();
    if (counters_.shift != today)
        counters_ = LineCounters{today};
    return counters_;
}

void LineMode::defectRegistered()
{
    ++shiftCounters().defects;
    if (saveCounters)
        saveCounters(counters_);
}

void LineMode::finish(LineOutcome outcome, const QString &reason)
{
    // A write that completed has a record, stored once the read-back has judged it. One that
    // failed after its number went out is recorded as unsuccessful where a record holds the
    // number (the database), so that the number is never given to another meter.
    if (!commit_ && state_ == LineState::Writing && written_.serialNumber && captureRecord)
        commit_ = captureRecord();
    if (commit_)
        commit_(outcome == LineOutcome::Done);
    commit_ = {};
    programming_ = false;
    readBack_.clear();
    // A write that did not complete leaves the number typed for it marked; the meter on the
    // bench is read afresh instead.
    if (state_ == LineState::Writing)
        p_.ClearMeterData();

    LineCounters &counted = shiftCounters();
    const QString number = QStringLiteral("№ %1").arg(number_);
    // The colour before the text: whoever shows the text shows it in its colour.
    LineResultKind.set(outcome);
    switch (outcome) {
    case LineOutcome::Done:
        ++counted.programmed;
        LineResult.set(number + QStringLiteral(" — Готово"));
        break;
    case LineOutcome::Failed:
        ++counted.failed;
        LineResult.set(number + QStringLiteral(" — Ошибка: ") + reason);
        break;
    case LineOutcome::Refused:
        ++counted.refused;
        LineResult.set(number + QStringLiteral(" — Отказ: ") + reason);
        break;
    case LineOutcome::None: break;
    }
    if (log && outcome != LineOutcome::Done)
        log(LineResult.value());
    if (saveCounters)
        saveCounters(counters_);

    // A programmed meter answers with its number; another one is any other identity. A meter
    // that failed may answer as before or with its new number: neither is taken for another.
    const QString version = finished_.empty() ? p_.LabeledVersion.value() : finished_.front().version;
    if (outcome == LineOutcome::Done)
        finished_.clear();
    finished_.push_back(Identity{number_, version});
    if (armed_)
        state_ = LineState::WaitingForNext;
    else
        idle();
    Q_EMIT meterFinished(outcome);
}

} // namespace ordan
