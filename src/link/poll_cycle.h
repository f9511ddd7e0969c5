#pragma once

#include "link/frame.h"
#include "link/protocol.h"

#include <QByteArray>

#include <iterator>

namespace ordan {

// The idle polling cycle: one read request without payload per step. Meters of version 10
// and up have an eleventh step, the DDM time stamps.
inline constexpr FunctionCode kPollCodes[] = {
    FunctionCode::ReadFirmwareVersion, FunctionCode::ReadSerialNumber, FunctionCode::ReadClock,
    FunctionCode::ReadIndication,      FunctionCode::ReadReadings,     FunctionCode::ReadDdmNumbers,
    FunctionCode::ReadOperatingTime,   FunctionCode::ReadRadioStatus,  FunctionCode::ReadStatus,
    FunctionCode::ReadBillingDay,      FunctionCode::ReadDdmTimes,
};

inline QByteArray PollRequestBody(quint8 step)
{
    return FrameBody(step < std::size(kPollCodes) ? kPollCodes[step] : kPollCodes[0]);
}

// Whether a request's first byte is one of the poll cycle's codes.
inline bool IsPollCode(quint8 code)
{
    for (FunctionCode poll : kPollCodes)
        if (CodeByte(poll) == code)
            return true;
    return false;
}

// The step after `step`: steps 0..9 below version 10, 0..10 from version 10 on.
inline quint8 NextPollStep(quint8 step, int meterVersion)
{
    const int next = step + 1;
    if ((next > 9 && meterVersion < 10) || next > 10)
        return 0;
    return static_cast<quint8>(next);
}

} // namespace ordan
