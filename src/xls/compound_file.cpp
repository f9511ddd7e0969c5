#include "xls/compound_file.h"

#include "core/bytes.h"

#include <algorithm>
#include <vector>

namespace ordan::cfb {
namespace {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr int kDirectoryEntrySize = 128;
constexpr int kEntriesPerFatSector = kSectorSize / 4;
constexpr int kEntriesPerDifatSector = kEntriesPerFatSector - 1; // the last one links to the next

// Directory entry object types.
constexpr quint8 kTypeEmpty = 0;
constexpr quint8 kTypeStream = 2;
constexpr quint8 kTypeRoot = 5;
constexpr quint8 kBlack = 1;

void Put16(QByteArray &b, qsizetype at, quint32 v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(QByteArray &b, qsizetype at, quint32 v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

qsizetype CeilDiv(qsizetype a, qsizetype b) { return (a + b - 1) / b; }

// One 128-byte directory entry. Unused entries are zero but for the three links.
QByteArray DirectoryEntry(const QString &name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    QByteArray e(kDirectoryEntrySize, '\0');
    if (type != kTypeEmpty) {
        const QString n = name.left(31);
        for (qsizetype i = 0; i < n.size(); ++i)
            Put16(e, 2 * i, n[i].unicode());
        Put16(e, 64, static_cast<quint32>((n.size() + 1) * 2)); // bytes, terminator included
        e[66] = static_cast<char>(type);
        e[67] = static_cast<char>(kBlack);
    }
    Put32(e, 68, kNoStream); // left sibling
    Put32(e, 72, kNoStream); // right sibling
    Put32(e, 76, type == kTypeEmpty ? kNoStream : child);
    if (type != kTypeEmpty) {
        Put32(e, 116, start);
        Put32(e, 120, size); // the high half of the 64-bit size stays 0 in version 3
    }
    return e;
}

// Where everything of a one-stream file lies: the stream from sector 0, then the directory's
// one sector, the FAT and the DIFAT.
struct Layout {
    qsizetype streamSize = 0; // at least the mini-stream cut-off, so the stream is a regular one
    qsizetype streamSectors = 0;
    qsizetype fatSectors = 1;
    qsizetype difatSectors = 0;
    quint32 directoryStart = 0;
    quint32 fatStart = 0;
    quint32 difatStart = 0;
    qsizetype totalSectors = 0;
};

constexpr qsizetype kDirectorySectors = 1;

Layout LayoutFor(qsizetype size)
{
    Layout l;
    l.streamSize = std::max<qsizetype>(size, kMiniStreamCutoff);
    l.streamSectors = CeilDiv(l.streamSize, kSectorSize);
    // The FAT has to describe its own sectors and the DIFAT's: grow both until they fit.
    for (;;) {
        const qsizetype total = l.streamSectors + kDirectorySectors + l.fatSectors + l.difatSectors;
        const qsizetype needFat = CeilDiv(total, kEntriesPerFatSector);
        const qsizetype needDifat =
            needFat <= kHeaderDifatEntries ? 0 : CeilDiv(needFat - kHeaderDifatEntries, kEntriesPerDifatSector);
        if (needFat == l.fatSectors && needDifat == l.difatSectors)
            break;
        l.fatSectors = std::max(l.fatSectors, needFat);
        l.difatSectors = std::max(l.difatSectors, needDifat);
    }
    l.directoryStart = static_cast<quint32>(l.streamSectors);
    l.fatStart = l.directoryStart + kDirectorySectors;
    l.difatStart = static_cast<quint32>(l.fatStart + l.fatSectors);
    l.totalSectors = l.difatStart + l.difatSectors;
    return l;
}

qsizetype SectorOffset(qsizetype n) { return (n + 1) * kSectorSize; }

void WriteHeader(QByteArray &file, const Layout &l)
{
    file.replace(0, 8, QByteArrayView(kSignature, 8));
    Put16(file, 24, 0x003E); // minor version
    Put16(file, 26, 0x0003); // major version 3: 512-byte sectors
    Put16(file, 28, 0xFFFE); // little-endian byte order mark
    Put16(file, 30, 9);      // sector shift: 2^9 = 512
    Put16(file, 32, 6);      // mini sector shift: 2^6 = 64
    Put32(file, 40, 0);      // directory sector count: always 0 in version 3
    Put32(file, 44, static_cast<quint32>(l.fatSectors));
    Put32(file, 48, l.directoryStart);
    Put32(file, 52, 0); // transaction signature
    Put32(file, 56, kMiniStreamCutoff);
    Put32(file, 60, kEndOfChain); // no mini FAT
    Put32(file, 64, 0);
    Put32(file, 68, l.difatSectors ? l.difatStart : kEndOfChain);
    Put32(file, 72, static_cast<quint32>(l.difatSectors));
    for (int i = 0; i < kHeaderDifatEntries; ++i)
        Put32(file, 76 + 4 * i, i < l.fatSectors ? l.fatStart + i : kFreeSector);
}

// DIFAT sectors: the FAT sector numbers beyond the header's 109, each sector linked to the next.
void WriteDifat(QByteArray &file, const Layout &l)
{
    for (qsizetype d = 0; d < l.difatSectors; ++d) {
        const qsizetype base = SectorOffset(l.difatStart + d);
        for (int i = 0; i < kEntriesPerDifatSector; ++i) {
            const qsizetype fatIndex = kHeaderDifatEntries + d * kEntriesPerDifatSector + i;
            Put32(file, base + 4 * i,
                  fatIndex < l.fatSectors ? static_cast<quint32>(l.fatStart + fatIndex) : kFreeSector);
        }
        Put32(file, base + 4 * kEntriesPerDifatSector,
              d + 1 < l.difatSectors ? static_cast<quint32>(l.difatStart + d + 1) : kEndOfChain);
    }
}

// FAT: the stream's chain, the directory's one sector, then the FAT and DIFAT sectors
// marked as such; everything past the end is free.
void WriteFat(QByteArray &file, const Layout &l)
{
    std::vector<quint32> fat(l.fatSectors * kEntriesPerFatSector, kFreeSector);
    for (qsizetype s = 0; s < l.streamSectors; ++s)
        fat[s] = s + 1 < l.streamSectors ? static_cast<quint32>(s + 1) : kEndOfChain;
    fat[l.directoryStart] = kEndOfChain;
    for (qsizetype f = 0; f < l.fatSectors; ++f)
        fat[l.fatStart + f] = kFatSector;
    for (qsizetype d = 0; d < l.difatSectors; ++d)
        fat[l.difatStart + d] = kDifatSector;
    for (qsizetype i = 0; i < static_cast<qsizetype>(fat.size()); ++i)
        Put32(file, SectorOffset(l.fatStart) + 4 * i, fat[i]);
}

} // namespace

QByteArray BuildCompoundFile(const QString &name, QByteArrayView stream)
{
    const Layout l = LayoutFor(stream.size());
    QByteArray file((l.totalSectors + 1) * kSectorSize, '\0');
    WriteHeader(file, l);
    WriteDifat(file, l);
    WriteFat(file, l);

    // Directory: the root (no mini stream) whose only child is the stream.
    QByteArray directory;
    directory += DirectoryEntry(QStringLiteral("Root Entry"), kTypeRoot, 1, kEndOfChain, 0);
    directory += DirectoryEntry(name, kTypeStream, kNoStream, 0, static_cast<quint32>(l.streamSize));
    directory += DirectoryEntry({}, kTypeEmpty, 0, 0, 0);
    directory += DirectoryEntry({}, kTypeEmpty, 0, 0, 0);
    file.replace(SectorOffset(l.directoryStart), directory.size(), directory);

    file.replace(SectorOffset(0), stream.size(), stream);
    return file;
}

namespace {

// Reads sectors and chains of a compound file, refusing anything that points outside it.
class Reader {
public:
    explicit Reader(QByteArrayView file) : file_(file) {}

    QString error;

    bool readHeader()
    {
        if (file_.size() < 512)
            return fail(QStringLiteral("the file is too short for a compound file"));
        if (file_.first(8) != QByteArrayView(kSignature, 8))
            return fail(QStringLiteral("not a compound file (no OLE2 signature)"));
        const auto major = LittleEndian(file_, 26, 2);
        const auto shift = LittleEndian(file_, 30, 2);
        if (LittleEndian(file_, 28, 2) != 0xFFFE)
            return fail(QStringLiteral("compound file with a wrong byte order mark"));
        if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
            return fail(QStringLiteral("unsupported compound file version %1 (sector shift %2)").arg(major).arg(shift));
        major_ = static_cast<int>(major);
        sectorSize_ = qsizetype(1) << shift;
        sectorCount_ = (file_.size() - sectorSize_) / sectorSize_;
        if (file_.size() < sectorSize_ || sectorCount_ <= 0)
            return fail(QStringLiteral("the compound file has no sectors"));
        cutoff_ = static_cast<quint32>(LittleEndian(file_, 56, 4));
        return true;
    }

    bool readFat()
    {
        const auto fatCount = LittleEndian(file_, 44, 4);
        if (fatCount == 0 || fatCount > static_cast<quint64>(sectorCount_))
            return fail(QStringLiteral("compound file with an impossible FAT size"));

        std::vector<quint32> fatSectors;
        for (int i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(static_cast<quint32>(LittleEndian(file_, 76 + 4 * i, 4)));

        auto difat = static_cast<quint32>(LittleEndian(file_, 68, 4));
        const auto difatCount = LittleEndian(file_, 72, 4);
        const qsizetype perDifat = sectorSize_ / 4 - 1;
        std::vector<bool> seen(sectorCount_, false);
        for (quint64 d = 0; fatSectors.size() < fatCount; ++d) {
            if (d >= difatCount || !validSector(difat) || seen[difat])
                return fail(QStringLiteral("the compound file's DIFAT is damaged"));
            seen[difat] = true;
            const QByteArrayView s = sector(difat);
            for (qsizetype i = 0; i < perDifat && fatSectors.size() < fatCount; ++i)
                fatSectors.push_back(static_cast<quint32>(LittleEndian(s, 4 * i, 4)));
            difat = static_cast<quint32>(LittleEndian(s, 4 * perDifat, 4));
        }

        fat_.reserve(fatSectors.size() * static_cast<size_t>(sectorSize_ / 4));
        for (quint32 f : fatSectors) {
            if (!validSector(f))
                return fail(QStringLiteral("a FAT sector lies outside the compound file"));
            const QByteArrayView s = sector(f);
            for (qsizetype i = 0; i < sectorSize_ / 4; ++i)
                fat_.push_back(static_cast<quint32>(LittleEndian(s, 4 * i, 4)));
        }
        return true;
    }

    // The bytes of the chain from `start`, at most `limit` of them.
    std::optional<QByteArray> chain(quint32 start, qsizetype limit)
    {
        QByteArray out;
        std::vector<bool> seen(sectorCount_, false);
        for (quint32 s = start; s != kEndOfChain && out.size() < limit; s = fat_[s]) {
            if (!validSector(s) || s >= fat_.size() || seen[s]) {
                fail(QStringLiteral("a sector chain of the compound file is damaged"));
                return std::nullopt;
            }
            seen[s] = true;
            out += sector(s).first(std::min(sectorSize_, limit - out.size()));
        }
        return out;
    }

    std::optional<QByteArray> stream(const QString &name)
    {
        const auto directory = chain(static_cast<quint32>(LittleEndian(file_, 48, 4)), file_.size());
        if (!directory)
            return std::nullopt;
        for (qsizetype at = 0; at + kDirectoryEntrySize <= directory->size(); at += kDirectoryEntrySize) {
            const QByteArrayView e = QByteArrayView(*directory).sliced(at, kDirectoryEntrySize);
            const auto nameBytes = LittleEndian(e, 64, 2);
            if (ByteAt(e, 66) != kTypeStream || nameBytes < 2 || nameBytes > 64 || nameBytes % 2)
                continue;
            QString entryName;
            for (quint64 i = 0; i + 1 < nameBytes / 2; ++i)
                entryName += QChar(static_cast<char16_t>(LittleEndian(e, 2 * i, 2)));
            if (entryName.compare(name, Qt::CaseInsensitive) != 0)
                continue;

            // Version 3 files keep only the low half of the size; old writers left junk above.
            const quint64 size = major_ == 3 ? LittleEndian(e, 120, 4) : LittleEndian(e, 120, 8);
            if (size < cutoff_) {
                fail(QStringLiteral("the %1 stream lies in the mini stream, which is not supported").arg(name));
                return std::nullopt;
            }
            if (size > static_cast<quint64>(file_.size())) {
                fail(QStringLiteral("the %1 stream is longer than the file").arg(name));
                return std::nullopt;
            }
            auto bytes = chain(static_cast<quint32>(LittleEndian(e, 116, 4)), static_cast<qsizetype>(size));
            if (bytes && bytes->size() != static_cast<qsizetype>(size)) {
                fail(QStringLiteral("the %1 stream is cut short").arg(name));
                return std::nullopt;
            }
            return bytes;
        }
        fail(QStringLiteral("the compound file holds no %1 stream").arg(name));
        return std::nullopt;
    }

private:
    bool fail(const QString &why)
    {
        if (error.isEmpty())
            error = why;
        return false;
    }
    bool validSector(quint32 s) const { return static_cast<qsizetype>(s) < sectorCount_; }
    QByteArrayView sector(quint32 s) const { return file_.sliced((s + 1) * sectorSize_, sectorSize_); }

    QByteArrayView file_;
    int major_ = 3;
    qsizetype sectorSize_ = kSectorSize;
    qsizetype sectorCount_ = 0; // whole sectors after the header
    quint32 cutoff_ = kMiniStreamCutoff;
    std::vector<quint32> fat_;
};

} // namespace

Result<QByteArray> ReadCompoundFileStream(QByteArrayView file, const QString &name)
{
    Reader reader(file);
    std::optional<QByteArray> bytes;
    if (reader.readHeader() && reader.readFat())
        bytes = reader.stream(name);
    if (!bytes)
        return Fail(reader.error);
    return std::move(*bytes);
}

} // namespace ordan::cfb
