#include "link/catalogue.h"

#include <array>

namespace ordan {

namespace {

constexpr std::array<CommandInfo, 30> kCatalogue{{
    {0x00, 2, 0, false, "firmware version"},
    {0x01, 2, 0, false, "serial number"},
    {0x02, 5, 0, true, "write serial number"},
    {0x03, 3, 0, true, "write bus address"},
    {0x04, 2, 0, false, "clock"},
    {0x05, 10, 0, true, "write clock"},
    {0x06, 2, 0, false, "status word"},
    {0x07, 2, 0, true, "reset status fixation flag"},
    {0x08, 2, 0, false, "read zone table"},
    {0x09, 2, 20, true, "write zone table or one tariff"},
    {0x0A, 2, 0, false, "DDM numbers"},
    {0x0B, 11, 0, true, "write DDM numbers"},
    {0x0C, 2, 0, false, "radio status"},
    {0x0D, 2, 0, false, "indication"},
    {0x0E, 3, 0, true, "write indication"},
    {0x0F, 2, 0, false, "readings"},
    {0x11, 2, 0, false, "operating time and correction counter"},
    {0x12, 3, 0, false, "annual journal month"},
    {0x13, 3, 0, false, "consumption journal page"},
    {0x14, 4, 0, false, "access password"},
    {0x22, 2, 0, false, "billing day and hour"},
    {0x23, 4, 0, true, "write billing day and hour"},
    {0x24, 2, 0, true, "billing-day reset"},
    {0x26, 3, 0, false, "holiday slot"},
    {0x27, 2, 5, true, "write holiday table"},
    {0x28, 3, 0, false, "transfer slot"},
    {0x29, 2, 7, true, "write transfer table"},
    {0x2A, 2, 0, false, "DDM time stamps"},
    {0x2E, 2, 0, false, "day-type masks"},
    {0x2F, 8, 0, true, "write day-type masks"},
}};

} // namespace

std::span<const CommandInfo> CommandCatalogue() { return kCatalogue; }

const CommandInfo *FindCommand(quint8 code)
{
    for (const CommandInfo &info : kCatalogue)
        if (info.code == code)
            return &info;
    return nullptr;
}

} // namespace ordan
