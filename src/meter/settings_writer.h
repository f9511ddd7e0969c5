#pragma once

#include "meter/meter_hooks.h"
#include "meter/meter_parameters.h"
#include "meter/password.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ordan {

class Engine;
class Operator;

// The enabling rule of the write action: link up, a usable access password, and a usable
// new password whenever it is to be written. Negative passwords are refused.
bool PasswordRuleHolds(bool connected, const QString &accessPassword, const QString &newPassword,
                       bool writeNewPassword);

// The bodies of a settings write in their order, without CRC; or the reason there is none.
struct SettingsSequence {
    std::vector<QByteArray> bodies;
    // Index into bodies of the second code 20 (the new password), if any.
    std::optional<size_t> newPasswordIndex;
    // The date and time the clock frame carries, if one is sent: what the records keep.
    std::optional<QDateTime> clockWritten;
};
// A failure's text is for the operator; an empty one has been reported already.
Result<SettingsSequence> BuildSettingsSequence(const MeterParameters &p, const MeterHooks &hooks);

// The settings write: the action, the enabling rule of the password fields, the billing-day
// reset and the acknowledgements of the meter.
class SettingsWriter final : public QObject {
    Q_OBJECT
public:
    SettingsWriter(MeterParameters &p, Engine &engine, Operator &op, const MeterHooks &hooks,
                   QObject *parent = nullptr);

    // Registers the decoders of codes 2, 3, 5, 7, 11, 14, 20, 35 and 36 with the engine.
    void installDecoders();

    void ActionSettingExecute();
    void LabeledPass1Change();
    void BitBtn5Click();
    // The engine enables writing on every reply and disables it on disconnect and after the
    // sixth time-out; the password rule still has its say when enabling.
    void setWriteActionsEnabled(bool on);

    bool passwordRuleHolds() const;
    // The database is being asked before a write (the server's clock, the number's owner);
    // F12 meanwhile does nothing.
    bool preparing() const { return preparing_; }

    // Told of every sequence queued, the bodies as they go out.
    std::function<void(const SettingsSequence &)> sequenceQueued;
    // A write the database was asked about first and that was not queued after all.
    std::function<void()> sequenceRefused;

    // Code 20: the meter took a password.
    void DecodePasswordAccepted();
    // Code 3: the meter took its new address; the following requests go there.
    void DecodeAddressWritten();

private:
    void updateActionEnabled();
    // Builds the sequence from the fields as they are now and queues it; false when it could
    // not be built (the operator has been told).
    bool queueWrite();

    MeterParameters &p_;
    Engine &engine_;
    Operator &operator_;
    const MeterHooks &hooks_;
    struct PendingPassword {
        QByteArray frame; // as queued, CRC included
        QString text;
    };
    // New-password frames queued and not yet acknowledged, oldest first.
    std::deque<PendingPassword> pendingPasswords_;
    bool preparing_ = false;
};

} // namespace ordan
