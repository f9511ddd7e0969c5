#include "sim/random_faults.h"

namespace ordan {

RandomFaults::RandomFaults(quint32 seed, int percent) : rng_(seed), percent_(qBound(0, percent, 100)) {}

Faults RandomFaults::next()
{
    Faults f;
    f.exchanges = 0;
    if (below(100) >= percent_)
        return f;
    f.exchanges = 1;
    switch (below(10)) {
    case 0: f.noEcho = true; break;
    case 1: f.wrongEcho = true; break;
    case 2: f.silence = true; break;
    case 3: f.errorCode = static_cast<quint8>(1 + below(7)); break;
    case 4: f.badCrc = true; break;
    case 5: f.wrongCode = true; break;
    case 6: f.extraBytes = 1 + below(4); break;
    case 7:
        f.strayByte = true;
        f.strayGapMs = below(60);
        break;
    case 8:
        f.chunkSize = 1 + below(5);
        f.chunkGapMs = 1 + below(40);
        break;
    default:
        // Most delays stay inside the reply time-out, some run past it.
        f.delayMs = 1 + below(1400);
        break;
    }
    return f;
}

} // namespace ordan
