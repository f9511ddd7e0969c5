#pragma once

#include "meter/meter_parameters.h"

#include <QByteArrayView>
#include <QDateTime>

#include <array>
#include <functional>

namespace ordan {

// Decoders of the identity and settings groups. Each takes the validated reply frame and
// writes the model; each returns false and changes nothing when the reply is too short for
// what it reads (a meter that sends less than it should).

// The date-time a station last set this meter's clock; invalid when none is recorded.
using LastClockSetLookup = std::function<void(int serialNumber)>;

// Code 0. Hands the major version to `setMeterVersion` before the extended controls follow it.
bool DecodeFirmwareVersion(QByteArrayView reply, MeterParameters &p, const std::function<void(int)> &setMeterVersion);
// Code 1.
bool DecodeSerialNumber(QByteArrayView reply, MeterParameters &p, const LastClockSetLookup &lookup);
// Code 10.
bool DecodeDdmNumbers(QByteArrayView reply, MeterParameters &p);
// Code 13.
bool DecodeIndication(QByteArrayView reply, MeterParameters &p);
// Code 17.
bool DecodeOperatingTime(QByteArrayView reply, MeterParameters &p);
// Code 34.
bool DecodeBillingDay(QByteArrayView reply, MeterParameters &p);
// Code 42.
bool DecodeDdmTimes(QByteArrayView reply, MeterParameters &p);

// The fields as a reply and its write frame both lay them out from byte 2 on, for the decoders
// and for reading back what a write sent: the 17-bit factory number (codes 1 and 2), the three
// DDM numbers of 3 bytes each (codes 10 and 11), the billing day and hour in BCD (codes 34, 35).
int FactoryNumberAt(QByteArrayView frame);
std::array<int, 3> DdmNumbersAt(QByteArrayView frame);
struct BillingTime {
    int day = 0;
    int hour = 0;
    bool operator==(const BillingTime &) const = default;
};
BillingTime BillingTimeAt(QByteArrayView frame);

// "hours:minutes" of an operating time counted in 30-second units.
QString OperatingTimeText(quint32 count);
// A DDM time stamp, seconds since 2000-01-01 00:00:00, in the locale's date and time.
QString DdmTimeText(quint32 seconds);

} // namespace ordan
