#pragma once

#include <QtGlobal>

namespace ordan {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    bool operator==(const Rgb &) const = default;
};

// Each channel raised by its percentage, truncating towards zero, limited to 0..255.
inline Rgb TintColor(Rgb c, int redPercent, int greenPercent, int bluePercent)
{
    auto tint = [](int channel, int percent) { return qBound(0, channel + channel * percent / 100, 255); };
    return {tint(c.r, redPercent), tint(c.g, greenPercent), tint(c.b, bluePercent)};
}

} // namespace ordan
