#pragma once

#include "core/bytes.h"

#include <QByteArray>

namespace ordan {

// The idle polling cycle: one read request without payload per step. Meters of version 10
// and up have an eleventh step, the DDM time stamps.
inline constexpr quint8 kPollCodes[] = {0x00, 0x01, 0x04, 0x0D, 0x0F, 0x0A, 0x11, 0x0C, 0x06, 0x22, 0x2A};

inline QByteArray PollRequestBody(quint8 step)
{
    const quint8 code = step < sizeof(kPollCodes) ? kPollCodes[step] : kPollCodes[0];
    return Bytes({code, 0x02});
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
