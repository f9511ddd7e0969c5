#include "meter/settings_writer.h"

#include "core/bytes.h"
#include "core/operator.h"
#include "link/engine.h"
#include "link/frame.h"
#include "meter/meter_clock.h"

namespace ordan {

namespace {

constexpr int kMaxPassword = 65535;
constexpr int kMaxDdmNumber = 16777215;

bool UsablePassword(const std::optional<int> &n) { return n && *n >= 0 && *n <= kMaxPassword; }

QByteArray ThreeBytes(int value)
{
    QByteArray out;
    AppendLittleEndian(out, static_cast<quint64>(value), 3);
    return out;
}

} // namespace

bool PasswordRuleHolds(bool connected, const QString &accessPassword, const QString &newPassword, bool writeNewPassword)
{
    if (!connected)
        return false;
    if (!UsablePassword(PasswordNumber(accessPassword)))
        return false;
    const std::optional<int> fresh = PasswordNumber(newPassword);
    const int freshOrZero = fresh.value_or(0);
    if (freshOrZero < 0 || freshOrZero > kMaxPassword)
        return false;
    return UsablePassword(fresh) || !writeNewPassword;
}

Result<SettingsSequence> BuildSettingsSequence(const MeterParameters &p, const MeterHooks &hooks)
{
    SettingsSequence s;
    auto add = [&s](QByteArray body) { s.bodies.push_back(std::move(body)); };

    add(PasswordFrameBody(p.LabeledPass2.value()));
    if (p.CheckTime.value()) {
        add(FrameBody(FunctionCode::WriteClock,
                      ClockPayload(p.DatePicker.value(), p.TimePicker.value(), p.CheckBoxClock.value())));
        s.clockWritten = QDateTime(p.DatePicker.value(), p.TimePicker.value());
    }
    if (p.CheckPassword.value() && p.LabeledPass1.value() != p.LabeledPass2.value()) {
        s.newPasswordIndex = s.bodies.size();
        add(PasswordFrameBody(p.LabeledPass1.value()));
    }
    if (p.CheckStatus.value())
        add(FrameBody(FunctionCode::ResetStatusFixation));
    if (p.SpinEdit_Number.mark() != 0) {
        const int n = p.SpinEdit_Number.value();
        add(FrameBody(FunctionCode::WriteSerialNumber, Bytes({n % 256, (n / 256) % 256, n / 65536})));
    }
    if (p.CheckAddr.value())
        add(FrameBody(FunctionCode::WriteBusAddress, Bytes({p.SpinNewAddr.value()})));
    if (p.CheckShedule.value()) {
        if (hooks.oneTariff && hooks.oneTariff()) {
            add(FrameBody(FunctionCode::WriteZoneTable));
        } else {
            std::optional<QByteArray> zones = hooks.scheduleZonesBody ? hooks.scheduleZonesBody() : std::nullopt;
            if (!zones)
                return Fail({}); // the schedule has said why
            add(*zones);
        }
        add(FrameBody(FunctionCode::WriteBillingDay,
                      Bytes({BcdEncode(p.SpinHour.value()), BcdEncode(p.SpinDay.value())})));
    }
    if (p.CheckDDM.value()) {
        QByteArray numbers;
        for (const IntField *spin : {&p.SpinEditA, &p.SpinEditB, &p.SpinEditC}) {
            // The frame has three bytes per number; anything else would reach the meter as
            // some other number.
            if (spin->value() < 0 || spin->value() > kMaxDdmNumber)
                return Fail(QStringLiteral("Номер ДДМ должен быть от 0 до 16777215."));
            numbers += ThreeBytes(spin->value());
        }
        add(FrameBody(FunctionCode::WriteDdmNumbers, numbers));
    }
    if (p.CheckIndi.value())
        add(FrameBody(FunctionCode::WriteIndication, Bytes({p.indicationMask()})));
    if (p.CheckResetTariff.value())
        add(FrameBody(FunctionCode::WriteZoneTable));
    return s;
}

SettingsWriter::SettingsWriter(MeterParameters &p, Engine &engine, Operator &op, const MeterHooks &hooks,
                               QObject *parent)
    : QObject(parent), p_(p), engine_(engine), operator_(op), hooks_(hooks)
{
    p_.ActionSetting.setHandler([this] { ActionSettingExecute(); });
    p_.BitBtn5.setHandler([this] { BitBtn5Click(); });
    p_.LabeledPass1.setEditHandler([this] { LabeledPass1Change(); });
    p_.LabeledPass2.setEditHandler([this] { LabeledPass1Change(); });
    // Ticking the new-password switch changes what the rule asks of the new password.
    p_.CheckPassword.setEditHandler([this] { updateActionEnabled(); });
}

void SettingsWriter::installDecoders()
{
    using enum FunctionCode;
    engine_.setDecoder(AccessPassword, [this](const QByteArray &) { DecodePasswordAccepted(); });
    engine_.setDecoder(WriteBusAddress, [this](const QByteArray &) { DecodeAddressWritten(); });
    // The other acknowledgements carry nothing the station reads; 9 belongs to the schedule.
    for (FunctionCode code : {WriteSerialNumber, WriteClock, ResetStatusFixation, WriteDdmNumbers, WriteIndication,
                              WriteBillingDay, ResetBillingDay})
        engine_.setDecoder(code, [](const QByteArray &) {});
}

bool SettingsWriter::passwordRuleHolds() const
{
    return PasswordRuleHolds(engine_.isConnected(), p_.LabeledPass2.value(), p_.LabeledPass1.value(),
                             p_.CheckPassword.value());
}

void SettingsWriter::updateActionEnabled() { p_.ActionSetting.setEnabled(passwordRuleHolds()); }

void SettingsWriter::LabeledPass1Change()
{
    engine_.setPasswordChanged(true);
    updateActionEnabled();
}

void SettingsWriter::setWriteActionsEnabled(bool on)
{
    if (on)
        updateActionEnabled();
    else
        p_.ActionSetting.setEnabled(false);
}

void SettingsWriter::ActionSettingExecute()
{
    // The rule is tested again here: replies re-enable the action without asking it.
    if (!passwordRuleHolds()) {
        p_.ActionSetting.setEnabled(false);
        return;
    }
    if (preparing_)
        return;
    // Every finished write is recorded under the meter's number and version: right after the
    // fields were cleared they are blanks until the next poll has read them again.
    if (!p_.identityRead && p_.SpinEdit_Number.mark() == 0) {
        operator_.showMessage(QStringLiteral("Данные прибора ещё не прочитаны. Повторите запись."),
                              QStringLiteral("Ошибка"), BoxIcon::Error);
        return;
    }
    if (p_.modes().SqlMode && hooks_.prepareSettingsWrite) {
        preparing_ = true;
        const int number = p_.SpinEdit_Number.mark() != 0 ? p_.SpinEdit_Number.value() : 0;
        hooks_.prepareSettingsWrite(number, [this](bool proceed) {
            preparing_ = false;
            // The link may have gone while the server was asked.
            const bool queued = proceed && passwordRuleHolds() && queueWrite();
            if (!queued && sequenceRefused)
                sequenceRefused();
        });
        return;
    }
    queueWrite();
}

bool SettingsWriter::queueWrite()
{
    const Result<SettingsSequence> built = BuildSettingsSequence(p_, hooks_);
    if (!built) {
        if (!built.error().isEmpty())
            operator_.showMessage(built.error(), QStringLiteral("Ошибка"), BoxIcon::Error);
        return false;
    }
    const SettingsSequence &sequence = *built;
    // The pickers follow the PC clock on: the record takes the time sent, not the time shown then.
    p_.clockWritten = sequence.clockWritten;
    if (sequence.newPasswordIndex)
        pendingPasswords_.push_back({AppendCrc(sequence.bodies[*sequence.newPasswordIndex]), p_.LabeledPass1.value()});
    engine_.beginWrite(WriteKind::Settings);
    if (sequenceQueued)
        sequenceQueued(sequence);
    for (const QByteArray &body : sequence.bodies)
        engine_.EnqueueRequest(body);
    return true;
}

void SettingsWriter::BitBtn5Click()
{
    engine_.EnqueueRequest(PasswordFrameBody(p_.LabeledPass2.value()));
    engine_.EnqueueRequest(FrameBody(FunctionCode::ResetBillingDay));
}

void SettingsWriter::DecodePasswordAccepted()
{
    // Only the acknowledged new password becomes the access password: an access frame (of
    // this write, the schedule write or the billing-day reset) changes nothing in the meter.
    const QByteArray &request = engine_.request();
    for (auto it = pendingPasswords_.begin(); it != pendingPasswords_.end(); ++it) {
        if (it->frame != request)
            continue;
        const QString text = it->text;
        pendingPasswords_.erase(pendingPasswords_.begin(), it + 1);
        if (p_.LabeledPass2.value() != text) {
            p_.LabeledPass2.set(text);
            LabeledPass1Change();
        }
        break;
    }
    engine_.setPasswordChanged(false);
}

void SettingsWriter::DecodeAddressWritten()
{
    // The address the meter acknowledged, as it was queued.
    const QByteArray &request = engine_.request();
    if (ByteAt(request, 0) == CodeByte(FunctionCode::WriteBusAddress) && request.size() >= 3)
        engine_.panel().SpinAddr.set(ByteAt(request, 2));
}

} // namespace ordan
