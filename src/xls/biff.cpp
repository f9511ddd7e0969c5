#include "xls/biff.h"

#include "core/bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ordan::biff {

RecordData &RecordData::u8(quint32 v)
{
    AppendLittleEndian(data, v, 1);
    return *this;
}

RecordData &RecordData::u16(quint32 v)
{
    AppendLittleEndian(data, v, 2);
    return *this;
}

RecordData &RecordData::u32(quint32 v)
{
    AppendLittleEndian(data, v, 4);
    return *this;
}

RecordData &RecordData::f64(double v)
{
    AppendLittleEndian(data, std::bit_cast<quint64>(v), 8);
    return *this;
}

bool FitsCompressed(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

void AppendCharacters(QByteArray &out, QStringView text, bool highByte)
{
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        if (highByte)
            out.append(static_cast<char>(c.unicode() >> 8));
    }
}

QByteArray ShortUnicodeString(QStringView text)
{
    text = text.first(std::min<qsizetype>(text.size(), 0xFF));
    const bool high = !FitsCompressed(text);
    RecordData b;
    b.u8(static_cast<quint32>(text.size())).u8(high ? 1 : 0);
    AppendCharacters(b.data, text, high);
    return b.data;
}

QByteArray UnicodeString(QStringView text)
{
    text = text.first(std::min<qsizetype>(text.size(), 0xFFFF));
    const bool high = !FitsCompressed(text);
    RecordData b;
    b.u16(static_cast<quint32>(text.size())).u8(high ? 1 : 0);
    AppendCharacters(b.data, text, high);
    return b.data;
}

void AppendRecord(QByteArray &stream, quint16 id, QByteArrayView data)
{
    Q_ASSERT(data.size() <= kMaxRecordData);
    AppendLittleEndian(stream, id, 2);
    AppendLittleEndian(stream, static_cast<quint64>(data.size()), 2);
    stream.append(data);
}

SharedStrings BuildSharedStrings(const QStringList &strings, quint32 totalReferences, qsizetype sstOffset)
{
    SharedStrings out;
    const auto unique = static_cast<quint32>(strings.size());

    // Each bucket of the index names where its first string starts, in the stream and in
    // its record.
    const quint32 perBucket = std::max<quint32>(unique / 128 + 1, 8);
    RecordData ext;
    ext.u16(perBucket);

    QByteArray current = RecordData().u32(totalReferences).u32(unique).data;
    quint16 currentId = kSst;
    auto flush = [&] {
        AppendRecord(out.records, currentId, current);
        current.clear();
        currentId = kContinue;
    };
    auto room = [&] { return kMaxRecordData - current.size(); };

    for (quint32 i = 0; i < unique; ++i) {
        const QStringView text = QStringView(strings[i]).first(std::min<qsizetype>(strings[i].size(), 0xFFFF));
        const bool high = !FitsCompressed(text);
        const int width = high ? 2 : 1;
        if (room() < 3 + (text.isEmpty() ? 0 : width))
            flush();
        if (i % perBucket == 0) {
            const qsizetype inRecord = 4 + current.size();
            ext.u32(static_cast<quint32>(sstOffset + out.records.size() + inRecord))
                .u16(static_cast<quint32>(inRecord))
                .u16(0);
        }
        AppendLittleEndian(current, static_cast<quint64>(text.size()), 2);
        current.append(static_cast<char>(high ? 1 : 0));
        qsizetype done = 0;
        while (done < text.size()) {
            if (room() < width) {
                flush();
                current.append(static_cast<char>(high ? 1 : 0));
            }
            const qsizetype n = std::min<qsizetype>(room() / width, text.size() - done);
            AppendCharacters(current, text.sliced(done, n), high);
            done += n;
        }
    }
    flush();
    AppendRecord(out.extSst, kExtSst, ext.data);
    return out;
}

std::optional<Record> RecordReader::next()
{
    if (damaged_ || pos_ + 4 > stream_.size())
        return std::nullopt;
    const auto id = static_cast<quint16>(LittleEndian(stream_, pos_, 2));
    const auto length = static_cast<qsizetype>(LittleEndian(stream_, pos_ + 2, 2));
    if (pos_ + 4 + length > stream_.size()) {
        damaged_ = true;
        return std::nullopt;
    }
    Record r{id, stream_.sliced(pos_ + 4, length), pos_};
    pos_ += 4 + length;
    return r;
}

std::optional<Record> RecordReader::nextIf(quint16 id)
{
    if (pos_ + 4 > stream_.size() || LittleEndian(stream_, pos_, 2) != id)
        return std::nullopt;
    return next();
}

bool ContinuedData::atPartEnd()
{
    while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
        ++part_;
        pos_ = 0;
    }
    return part_ >= parts_.size();
}

quint32 ContinuedData::u8()
{
    if (failed_ || atPartEnd()) {
        failed_ = true;
        return 0;
    }
    return static_cast<quint8>(parts_[part_][pos_++]);
}

quint32 ContinuedData::u16()
{
    const quint32 lo = u8();
    return lo | (u8() << 8);
}

quint32 ContinuedData::u32()
{
    const quint32 lo = u16();
    return lo | (u16() << 16);
}

void ContinuedData::skip(quint64 count)
{
    while (count > 0 && !failed_) {
        if (atPartEnd()) {
            failed_ = true;
            return;
        }
        const auto n = std::min<quint64>(count, static_cast<quint64>(parts_[part_].size() - pos_));
        pos_ += static_cast<qsizetype>(n);
        count -= n;
    }
}

QString ContinuedData::characters(quint32 count, bool highByte)
{
    QString text;
    while (static_cast<quint32>(text.size()) < count && !failed_) {
        if (pos_ >= (part_ < parts_.size() ? parts_[part_].size() : 0)) {
            // Characters go on in the next CONTINUE, after their flags byte.
            if (atPartEnd()) {
                failed_ = true;
                break;
            }
            highByte = (u8() & 0x01) != 0;
            continue;
        }
        const quint32 lo = u8();
        const quint32 hi = highByte ? u8() : 0;
        text += QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return failed_ ? QString() : text;
}

QString ContinuedData::richExtendedString()
{
    const quint32 count = u16();
    const quint32 flags = u8();
    const quint32 runs = (flags & 0x08) ? u16() : 0;
    const quint32 extended = (flags & 0x04) ? u32() : 0;
    QString text = characters(count, (flags & 0x01) != 0);
    skip(4ull * runs);
    skip(extended);
    return text;
}

} // namespace ordan::biff
