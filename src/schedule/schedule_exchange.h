#pragma once

#include "core/result.h"
#include "schedule/tariff_schedule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace ordan {

// Frame bodies (function code, length byte, payload) without their CRC: Engine::EnqueueRequest
// closes each one. A failure says why nothing could be built, and nothing may be queued.
using EncodedRequest = Result<QByteArray>;
using EncodedRequests = Result<QList<QByteArray>>;

// Code 20 with the number of the password text (0 when it is not an integer): its low byte,
// then the low byte of the number divided by 256.
QByteArray AccessPasswordRequest(const QString &passwordText);

// The code 9 request: length 2 for single tariff, else length 20 with the six zone records
// (tariff, BCD hour, BCD minute). A tariff that is not a whole number 0..255 refuses it.
// The settings write sends this as it is; it makes none of the schedule write checks.
EncodedRequest ZoneTableRequest(bool singleTariff, const ZoneTable &zones);
inline EncodedRequest ZoneTableRequest(const TariffSchedule &s) { return ZoneTableRequest(s.singleTariff, s.zones); }

QByteArray MaskRequest(const MaskTable &masks);
QByteArray HolidayTableStartRequest();
EncodedRequest HolidayRequest(int slot, const HolidayEntry &h);
QByteArray TransferTableStartRequest();
EncodedRequest TransferRequest(int slot, const TransferEntry &t);

// 1 request up to version 9 (or while the version is unknown), 34 from version 10 on.
QList<QByteArray> ScheduleReadSequence(int meterVersion);
// 2 requests for single tariff or up to version 9, else 5 + holidays + transfers (at most 37).
// All or nothing: the first entry that cannot be encoded refuses the whole sequence.
// The write check is the caller's.
EncodedRequests ScheduleWriteSequence(const TariffSchedule &s, int meterVersion, const QString &passwordText);

// What a code 8 reply says. Length 2: single tariff; length 20: the zones, each start only
// when its time is valid; any other length: multi-tariff with the zones as they were.
struct ZoneTableReply {
    bool singleTariff = false;
    bool hasZones = false;
    std::array<QString, kZoneCount> tariffs;
    std::array<std::optional<QTime>, kZoneCount> starts;
};
ZoneTableReply DecodeZoneTable(QByteArrayView reply);
// Code 46: the six masks, or all empty when the reply has another length.
MaskTable DecodeMasks(QByteArrayView reply);
// Codes 38 and 40: an entry, or nothing for an empty slot, another length or impossible values.
std::optional<HolidayEntry> DecodeHoliday(QByteArrayView reply);
std::optional<TransferEntry> DecodeTransfer(QByteArrayView reply);

// The log line of a zone whose start time in the reply is not a time of day.
QString InvalidZoneTimeText(int zone);

} // namespace ordan
