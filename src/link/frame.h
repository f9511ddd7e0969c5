#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QByteArrayView>

namespace ordan {

// A frame on the meter bus: function code, length byte L (= payload length + 2), payload,
// then the CRC of bytes 0 .. L-1, low byte first. The bus address byte is never part of it.
//
// CRC-16/MODBUS: width 16, polynomial 0x8005 (reflected 0xA001), initial value 0xFFFF,
// input and output reflected, no final XOR; check value 0x4B37 over "123456789".
quint16 Crc16Modbus(QByteArrayView bytes);

// The body (function code, length byte, payload) with its two CRC bytes appended.
QByteArray AppendCrc(QByteArray body);

// The body of a frame: the function code, the length byte and the payload, no CRC. Every
// request the station sends is built here, so its length byte is never typed by hand.
QByteArray FrameBody(FunctionCode code, QByteArrayView payload = {});
// The whole frame: FrameBody with its CRC.
QByteArray MakeFrame(FunctionCode code, QByteArrayView payload = {});
// The same for any code byte: replies, refusals (code + 128) and frames no meter knows.
QByteArray FrameBody(quint8 code, QByteArrayView payload = {});
QByteArray MakeFrame(quint8 code, QByteArrayView payload = {});

// True when the last two bytes equal, low byte first, the CRC of all bytes before them.
// Only meaningful for two bytes or more; a two-byte reply carries the CRC of nothing, 0xFFFF.
bool CheckReplyCrc(QByteArrayView reply);

} // namespace ordan
