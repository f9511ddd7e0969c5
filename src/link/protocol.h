#pragma once

#include <QtGlobal>

namespace ordan {

// The function codes of the meter bus, named for what they do; the catalogue holds each one
// with the length byte of its request.
enum class FunctionCode : quint8 {
    ReadFirmwareVersion = 0x00,
    ReadSerialNumber = 0x01,
    WriteSerialNumber = 0x02,
    WriteBusAddress = 0x03,
    ReadClock = 0x04,
    WriteClock = 0x05,
    ReadStatus = 0x06,
    ResetStatusFixation = 0x07,
    ReadZoneTable = 0x08,
    WriteZoneTable = 0x09, // short form: single tariff
    ReadDdmNumbers = 0x0A,
    WriteDdmNumbers = 0x0B,
    ReadRadioStatus = 0x0C,
    ReadIndication = 0x0D,
    WriteIndication = 0x0E,
    ReadReadings = 0x0F,
    ReadOperatingTime = 0x11, // and the clock correction counter
    ReadAnnualJournal = 0x12,
    ReadConsumptionJournal = 0x13,
    AccessPassword = 0x14, // with access held: sets a new password
    ReadBillingDay = 0x22,
    WriteBillingDay = 0x23,
    ResetBillingDay = 0x24,
    ReadHoliday = 0x26,
    WriteHolidays = 0x27, // short form: start of the table
    ReadTransfer = 0x28,
    WriteTransfers = 0x29, // short form: start of the table
    ReadDdmTimes = 0x2A,
    ReadDayTypeMasks = 0x2E,
    WriteDayTypeMasks = 0x2F,
};

constexpr quint8 CodeByte(FunctionCode code) { return static_cast<quint8>(code); }

// A refusal comes back as code + 128, length 3, the error, CRC.
inline constexpr quint8 kErrorReplyFlag = 0x80;
inline constexpr quint8 kErrorReplyLength = 3;
// The CRC follows the L bytes counted by the length byte.
inline constexpr qsizetype kCrcSize = 2;

// The error byte of a refusal.
enum class MeterError : quint8 {
    UnknownFunction = 1,
    WrongLength = 2,
    WrongCrc = 3,
    WrongData = 4,
    MemoryProtected = 5,
    AccessDenied = 6,
};

} // namespace ordan
