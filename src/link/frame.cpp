#include "link/frame.h"

#include <array>

namespace ordan {

namespace {

constexpr std::array<quint16, 256> MakeCrcTable()
{
    std::array<quint16, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        quint16 crc = static_cast<quint16>(n);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
        table[n] = crc;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();

} // namespace

quint16 Crc16Modbus(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes)
        crc = static_cast<quint16>((crc >> 8) ^ kCrcTable[(crc ^ static_cast<quint8>(c)) & 0xFF]);
    return crc;
}

QByteArray AppendCrc(QByteArray body)
{
    const quint16 crc = Crc16Modbus(body);
    body.append(static_cast<char>(crc & 0xFF));
    body.append(static_cast<char>(crc >> 8));
    return body;
}

bool CheckReplyCrc(QByteArrayView reply)
{
    if (reply.size() < 2)
        return false;
    const quint16 crc = Crc16Modbus(reply.first(reply.size() - 2));
    return static_cast<quint8>(reply[reply.size() - 2]) == (crc & 0xFF) &&
           static_cast<quint8>(reply[reply.size() - 1]) == (crc >> 8);
}

QByteArray FrameBody(quint8 code, QByteArrayView payload)
{
    QByteArray body;
    body.reserve(payload.size() + 2);
    body.append(static_cast<char>(code));
    body.append(static_cast<char>(payload.size() + 2));
    body.append(payload);
    return body;
}

QByteArray MakeFrame(quint8 code, QByteArrayView payload) { return AppendCrc(FrameBody(code, payload)); }

QByteArray FrameBody(FunctionCode code, QByteArrayView payload) { return FrameBody(CodeByte(code), payload); }

QByteArray MakeFrame(FunctionCode code, QByteArrayView payload) { return MakeFrame(CodeByte(code), payload); }

} // namespace ordan
