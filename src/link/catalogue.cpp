#include "link/catalogue.h"

#include <array>

namespace ordan {

namespace {

constexpr std::array<CommandInfo, 30> kCatalogue{{
    {FunctionCode::ReadFirmwareVersion, 2, 0, 4, 0, false, "firmware version"},
    {FunctionCode::ReadSerialNumber, 2, 0, 5, 0, false, "serial number"},
    {FunctionCode::WriteSerialNumber, 5, 0, 2, 0, true, "write serial number"},
    {FunctionCode::WriteBusAddress, 3, 0, 2, 0, true, "write bus address"},
    {FunctionCode::ReadClock, 2, 0, 10, 0, false, "clock"},
    {FunctionCode::WriteClock, 10, 0, 2, 0, true, "write clock"},
    {FunctionCode::ReadStatus, 2, 0, 4, 0, false, "status word"},
    {FunctionCode::ResetStatusFixation, 2, 0, 2, 0, true, "reset status fixation flag"},
    {FunctionCode::ReadZoneTable, 2, 0, 20, 2, false, "read zone table"},
    {FunctionCode::WriteZoneTable, 2, 20, 2, 0, true, "write zone table or one tariff"},
    {FunctionCode::ReadDdmNumbers, 2, 0, 11, 0, false, "DDM numbers"},
    {FunctionCode::WriteDdmNumbers, 11, 0, 2, 0, true, "write DDM numbers"},
    {FunctionCode::ReadRadioStatus, 2, 0, 3, 0, false, "radio status"},
    {FunctionCode::ReadIndication, 2, 0, 3, 0, false, "indication"},
    {FunctionCode::WriteIndication, 3, 0, 2, 0, true, "write indication"},
    {FunctionCode::ReadReadings, 2, 0, 32, 17, false, "readings"},
    {FunctionCode::ReadOperatingTime, 2, 0, 6, 0, false, "operating time and correction counter"},
    {FunctionCode::ReadAnnualJournal, 3, 0, 22, 3, false, "annual journal month"},
    {FunctionCode::ReadConsumptionJournal, 3, 0, 28, 3, false, "consumption journal page"},
    {FunctionCode::AccessPassword, 4, 0, 2, 0, false, "access password"},
    {FunctionCode::ReadBillingDay, 2, 0, 4, 0, false, "billing day and hour"},
    {FunctionCode::WriteBillingDay, 4, 0, 2, 0, true, "write billing day and hour"},
    {FunctionCode::ResetBillingDay, 2, 0, 2, 0, true, "billing-day reset"},
    {FunctionCode::ReadHoliday, 3, 0, 5, 3, false, "holiday slot"},
    {FunctionCode::WriteHolidays, 2, 5, 2, 0, true, "write holiday table"},
    {FunctionCode::ReadTransfer, 3, 0, 7, 3, false, "transfer slot"},
    {FunctionCode::WriteTransfers, 2, 7, 2, 0, true, "write transfer table"},
    {FunctionCode::ReadDdmTimes, 2, 0, 17, 0, false, "DDM time stamps"},
    {FunctionCode::ReadDayTypeMasks, 2, 0, 8, 0, false, "day-type masks"},
    {FunctionCode::WriteDayTypeMasks, 8, 0, 2, 0, true, "write day-type masks"},
}};

} // namespace

std::span<const CommandInfo> CommandCatalogue() { return kCatalogue; }

const CommandInfo &CommandOf(FunctionCode code)
{
    const CommandInfo *info = FindCommand(CodeByte(code));
    Q_ASSERT(info);
    return *info;
}

const CommandInfo *FindCommand(quint8 code)
{
    for (const CommandInfo &info : kCatalogue)
        if (CodeByte(info.code) == code)
            return &info;
    return nullptr;
}

} // namespace ordan
