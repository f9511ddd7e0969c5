#pragma once

#include "meter/parameter_decoders.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace ordan {

// What a settings write put into the meter, taken from the frames it sent: the frames are
// what the meter acknowledged, whatever the controls show by now.
struct WrittenValues {
    std::optional<int> serialNumber;
    std::optional<int> address;
    std::optional<BillingTime> billing;
    std::optional<std::array<int, 3>> ddm;
    std::optional<int> indicationMask;
    std::optional<QByteArray> zoneTable; // the payload of the last code 9: empty for one tariff
    bool clock = false;
    std::optional<QString> newPassword; // the text the meter was given; checked by logging in with it
};

// The write frames (bodies, without CRC) in the order they went out. The first code 20 is the
// access; a later one, a new password of `newPasswordText`.
WrittenValues WrittenFromFrames(const std::vector<QByteArray> &bodies, const QString &newPasswordText);

// The requests (bodies, without CRC) that read back what was written. The first is the
// version: every reply comes from the address the meter has now, which checks the address.
std::vector<QByteArray> ReadBackRequests(const WrittenValues &written);

// The meter's clock may stand this far from the clock expected when read back (seconds), the
// same bound as a programming's daily drift: the meter counts whole seconds from the write.
inline constexpr int kClockBehindLimitSec = 3;
inline constexpr int kClockAheadLimitSec = 1;

// What differs between the values written and the replies read back (by function code of
// the request, whole frames), one line each in the operator's words; empty when all match.
// `clockExpected` is the clock the meter should show at its clock reply: the clock written,
// run on by the time since the meter took it.
QStringList ReadBackDifferences(const WrittenValues &written, const std::map<quint8, QByteArray> &replies,
                                const QDateTime &clockExpected);

} // namespace ordan
