#include "core/codepages.h"

namespace ordan {

namespace {

constexpr char kUnmappable = '?';

// Windows-1251 bytes 0x80..0xBF (0x98, unassigned, keeps its own code as Windows does); 0xC0..0xFF
// are А..я in order.
constexpr char16_t kWindows1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// IBM866 bytes 0xB0..0xDF (box drawing, as in code page 437) and 0xF0..0xFF; 0x80..0xAF are
// А..п and 0xE0..0xEF р..я in order.
constexpr char16_t kIbm866Boxes[48] = {0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563,
                                       0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C,
                                       0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
                                       0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
                                       0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580};
constexpr char16_t kIbm866Tail[16] = {0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
                                      0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0};

char16_t Windows1251(quint8 b)
{
    if (b >= 0xC0)
        return static_cast<char16_t>(0x0410 + (b - 0xC0));
    return kWindows1251High[b - 0x80];
}

char16_t Ibm866(quint8 b)
{
    if (b < 0xB0)
        return static_cast<char16_t>(0x0410 + (b - 0x80));
    if (b < 0xE0)
        return kIbm866Boxes[b - 0xB0];
    if (b < 0xF0)
        return static_cast<char16_t>(0x0440 + (b - 0xE0));
    return kIbm866Tail[b - 0xF0];
}

} // namespace

std::optional<Codepage> CodepageNamed(QByteArrayView name)
{
    const QByteArray lower = name.toByteArray().toLower();
    if (lower == "windows-1251" || lower == "cp1251")
        return Codepage::Windows1251;
    if (lower == "ibm866" || lower == "cp866")
        return Codepage::Ibm866;
    return std::nullopt;
}

QChar DecodeByte(Codepage page, quint8 byte)
{
    if (byte < 0x80)
        return QChar(static_cast<char16_t>(byte));
    return QChar(page == Codepage::Windows1251 ? Windows1251(byte) : Ibm866(byte));
}

QString Decode(Codepage page, QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text += DecodeByte(page, static_cast<quint8>(c));
    return text;
}

QByteArray Encode(Codepage page, QStringView text)
{
    // The high half is small: a search per character beats building a reverse map.
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        char byte = kUnmappable;
        if (c.unicode() < 0x80) {
            byte = static_cast<char>(c.unicode());
        } else {
            for (int b = 0x80; b <= 0xFF; ++b) {
                if (DecodeByte(page, static_cast<quint8>(b)) == c) {
                    byte = static_cast<char>(b);
                    break;
                }
            }
        }
        bytes += byte;
    }
    return bytes;
}

} // namespace ordan
