#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace ordan {

// Byte i of a frame as an unsigned value, 0 when i is past its end: decoders never read
// beyond the bytes they were given.
inline quint8 ByteAt(QByteArrayView bytes, qsizetype i)
{
    return i >= 0 && i < bytes.size() ? static_cast<quint8>(bytes[i]) : 0;
}

// Unsigned little-endian number of `width` bytes starting at `offset`.
inline quint64 LittleEndian(QByteArrayView bytes, qsizetype offset, int width)
{
    quint64 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = (v << 8) | ByteAt(bytes, offset + i);
    return v;
}

inline void AppendLittleEndian(QByteArray &out, quint64 value, int width)
{
    for (int i = 0; i < width; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Packed decimal: high nibble x 10 + low nibble, digits not checked (0x1A gives 20).
inline int BcdDecode(quint8 b) { return (b >> 4) * 10 + (b & 0x0F); }
inline quint8 BcdEncode(int n) { return static_cast<quint8>((n / 10) * 16 + n % 10); }

// "00 02 80 71 " style text: two upper-case hex digits and a blank per byte.
inline QString HexBytesWithBlanks(QByteArrayView bytes)
{
    QString s;
    s.reserve(bytes.size() * 3);
    static const char digits[] = "0123456789ABCDEF";
    for (char c : bytes) {
        const auto b = static_cast<quint8>(c);
        s += QLatin1Char(digits[b >> 4]);
        s += QLatin1Char(digits[b & 0x0F]);
        s += QLatin1Char(' ');
    }
    return s;
}

inline QString HexByte(quint8 b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }

// Builds bytes from a list of values: Bytes({0x00, 0x02}).
inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(values.size()));
    for (int v : values)
        out.append(static_cast<char>(v & 0xFF));
    return out;
}

} // namespace ordan
