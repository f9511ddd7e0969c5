#include "core/bytes.h"
#include "support/result_checks.h"
#include "xls/compound_file.h"

#include <gtest/gtest.h>

#include <set>

namespace ordan::cfb {
namespace {

const QString kName = QStringLiteral("Workbook");

quint32 U32(const QByteArray &b, qsizetype at) { return static_cast<quint32>(LittleEndian(b, at, 4)); }
quint32 U16(const QByteArray &b, qsizetype at) { return static_cast<quint32>(LittleEndian(b, at, 2)); }
qsizetype SectorOffset(quint32 s) { return (qsizetype(s) + 1) * kSectorSize; }

QByteArray Pattern(qsizetype size)
{
    QByteArray b(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return b;
}

// The whole FAT, gathered through the header's DIFAT and the DIFAT sectors.
std::vector<quint32> Fat(const QByteArray &file, std::vector<quint32> *fatSectors = nullptr)
{
    const quint32 count = U32(file, 44);
    std::vector<quint32> sectors;
    for (int i = 0; i < kHeaderDifatEntries && sectors.size() < count; ++i)
        sectors.push_back(U32(file, 76 + 4 * i));
    for (quint32 d = U32(file, 68); sectors.size() < count; d = U32(file, SectorOffset(d) + 508))
        for (int i = 0; i < 127 && sectors.size() < count; ++i)
            sectors.push_back(U32(file, SectorOffset(d) + 4 * i));
    std::vector<quint32> fat;
    for (quint32 s : sectors)
        for (int i = 0; i < 128; ++i)
            fat.push_back(U32(file, SectorOffset(s) + 4 * i));
    if (fatSectors)
        *fatSectors = sectors;
    return fat;
}

TEST(CompoundFile, HeaderOfVersion3WithoutMiniStream)
{
    const QByteArray file = BuildCompoundFile(kName, "abc");
    EXPECT_EQ(file.first(8).toHex(), "d0cf11e0a1b11ae1");
    EXPECT_EQ(U16(file, 24), 0x003Eu);
    EXPECT_EQ(U16(file, 26), 3u);
    EXPECT_EQ(U16(file, 28), 0xFFFEu);
    EXPECT_EQ(U16(file, 30), 9u);
    EXPECT_EQ(U16(file, 32), 6u);
    EXPECT_EQ(U32(file, 40), 0u);
    EXPECT_EQ(U32(file, 56), 4096u);
    EXPECT_EQ(U32(file, 60), kEndOfChain);
    EXPECT_EQ(U32(file, 64), 0u);
    EXPECT_EQ(U32(file, 68), kEndOfChain);
    EXPECT_EQ(U32(file, 72), 0u);
    EXPECT_EQ(file.size() % kSectorSize, 0);
}

TEST(CompoundFile, ShortStreamIsPaddedTo4096BytesInRegularSectors)
{
    const QByteArray file = BuildCompoundFile(kName, "abc");
    // Header, 8 stream sectors, the directory and one FAT sector.
    EXPECT_EQ(file.size(), 11 * kSectorSize);
    const qsizetype directory = SectorOffset(U32(file, 48));
    const qsizetype entry = directory + 128;
    EXPECT_EQ(U32(file, entry + 120), 4096u);
    EXPECT_EQ(file.sliced(SectorOffset(U32(file, entry + 116)), 3), "abc");

    QString error;
    const auto stream = ReadCompoundFileStream(file, kName);
    error = stream.error();
    ASSERT_TRUE(stream) << error.toStdString();
    EXPECT_EQ(stream->size(), 4096);
    EXPECT_EQ(stream->first(3), "abc");
    EXPECT_EQ(stream->sliced(3), QByteArray(4093, '\0'));
}

TEST(CompoundFile, DirectoryHoldsRootAndStream)
{
    const QByteArray file = BuildCompoundFile(kName, Pattern(5000));
    const qsizetype d = SectorOffset(U32(file, 48));
    const auto name = [&](qsizetype e) {
        QString n;
        for (quint32 i = 0; i + 1 < U16(file, e + 64) / 2; ++i)
            n += QChar(static_cast<char16_t>(U16(file, e + 2 * i)));
        return n;
    };
    EXPECT_EQ(name(d), QStringLiteral("Root Entry"));
    EXPECT_EQ(ByteAt(file, d + 66), 5);
    EXPECT_EQ(U32(file, d + 76), 1u); // child: the stream
    EXPECT_EQ(U32(file, d + 116), kEndOfChain);
    EXPECT_EQ(name(d + 128), kName);
    EXPECT_EQ(ByteAt(file, d + 128 + 66), 2);
    EXPECT_EQ(U32(file, d + 128 + 68), kNoStream);
    EXPECT_EQ(U32(file, d + 128 + 72), kNoStream);
    EXPECT_EQ(U32(file, d + 128 + 120), 5000u);
    for (qsizetype e = d + 256; e < d + 512; e += 128) {
        EXPECT_EQ(ByteAt(file, e + 66), 0);
        EXPECT_EQ(U32(file, e + 68), kNoStream);
        EXPECT_EQ(U32(file, e + 76), kNoStream);
    }
}

// Sizes around sector, FAT-sector and DIFAT boundaries: one FAT sector maps 128 sectors,
// the header's DIFAT names 109 FAT sectors (about 6.8 MB of stream).
TEST(CompoundFile, RoundTripAndConsistentFatForManySizes)
{
    for (const qsizetype size :
         {qsizetype(0), qsizetype(1), qsizetype(4095), qsizetype(4096), qsizetype(4097), qsizetype(126 * 512),
          qsizetype(126 * 512 + 1), qsizetype(127 * 512), qsizetype(300000), qsizetype(109 * 126 * 512),
          qsizetype(109 * 128 * 512), qsizetype(8 * 1024 * 1024 + 3)}) {
        const QByteArray data = Pattern(size);
        const QByteArray file = BuildCompoundFile(kName, data);
        QString error;
        const auto stream = ReadCompoundFileStream(file, kName);
        error = stream.error();
        ASSERT_TRUE(stream) << size << " " << error.toStdString();
        EXPECT_EQ(stream->size(), std::max<qsizetype>(size, 4096)) << size;
        EXPECT_TRUE(stream->startsWith(data)) << size;

        // Every sector is accounted for exactly once: the stream chain, the directory,
        // FAT and DIFAT sectors by their marks; nothing else is in use.
        std::vector<quint32> fatSectors;
        const std::vector<quint32> fat = Fat(file, &fatSectors);
        const auto sectors = static_cast<quint32>(file.size() / kSectorSize - 1);
        ASSERT_GE(fat.size(), sectors) << size;
        std::set<quint32> used;
        const quint32 start = U32(file, SectorOffset(U32(file, 48)) + 128 + 116);
        for (quint32 s = start; s != kEndOfChain; s = fat[s])
            ASSERT_TRUE(s < sectors && used.insert(s).second) << size;
        EXPECT_EQ(used.size(), static_cast<size_t>((stream->size() + 511) / 512)) << size;
        EXPECT_EQ(fat[U32(file, 48)], kEndOfChain);
        used.insert(U32(file, 48));
        for (quint32 f : fatSectors) {
            EXPECT_EQ(fat[f], kFatSector) << size;
            EXPECT_TRUE(used.insert(f).second) << size;
        }
        quint32 difat = U32(file, 68);
        for (quint32 i = 0; i < U32(file, 72); ++i) {
            EXPECT_EQ(fat[difat], kDifatSector) << size;
            EXPECT_TRUE(used.insert(difat).second) << size;
            difat = U32(file, SectorOffset(difat) + 508);
        }
        EXPECT_EQ(difat, kEndOfChain) << size;
        EXPECT_EQ(used.size(), sectors) << size;
        for (quint32 s = sectors; s < fat.size(); ++s)
            EXPECT_EQ(fat[s], kFreeSector) << size;
        EXPECT_EQ(U32(file, 72) > 0, fatSectors.size() > 109) << size;
    }
}

TEST(CompoundFile, DamagedDifatIsRefused)
{
    const QByteArray good = BuildCompoundFile(kName, QByteArray(8 * 1024 * 1024, 'x'));
    ASSERT_EQ(U32(good, 72), 1u);
    QByteArray outside = good;
    outside[68] = outside[69] = outside[70] = '\x7F';
    QByteArray missing = good;
    missing[72] = 0;
    for (const QByteArray &file : {outside, missing}) {
        QString error;
        EXPECT_FALSE(Succeeded(ReadCompoundFileStream(file, kName), error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(CompoundFile, StreamNameIsFoundWithoutCase)
{
    const QByteArray file = BuildCompoundFile(kName, "x");
    QString error;
    EXPECT_TRUE(Succeeded(ReadCompoundFileStream(file, QStringLiteral("WORKBOOK")), error));
    EXPECT_FALSE(Succeeded(ReadCompoundFileStream(file, QStringLiteral("Book")), error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(CompoundFile, DamagedFilesAreRefusedWithAReason)
{
    const QByteArray good = BuildCompoundFile(kName, Pattern(6000));
    const quint32 directory = U32(good, 48);
    const quint32 fatSector = U32(good, 76);
    const qsizetype entry = SectorOffset(directory) + 128;
    auto put32 = [](QByteArray b, qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    const struct {
        const char *what;
        QByteArray file;
    } cases[] = {
        {"empty", QByteArray()},
        {"shorter than a header", good.first(300)},
        {"no signature", put32(good, 0, 0x12345678)},
        {"wrong byte order", put32(good, 28, 0xFFFF0000 | 0xFEFF)},
        {"sector shift of version 3 wrong", put32(good, 30, 0x0006000A)},
        {"no FAT sectors", put32(good, 44, 0)},
        {"more FAT sectors than the file has", put32(good, 44, 1000)},
        {"FAT sector outside the file", put32(good, 76, 5000)},
        {"directory outside the file", put32(good, 48, 70000)},
        {"stream chain loops", put32(good, SectorOffset(fatSector) + 4 * 3, 3)},
        {"stream chain leaves the file", put32(good, SectorOffset(fatSector) + 4 * 3, 9999)},
        {"stream chain ends early", put32(good, SectorOffset(fatSector) + 4 * 3, kEndOfChain)},
        {"stream longer than the file", put32(good, entry + 120, 0x7FFFFFFF)},
        {"stream in the mini stream", put32(good, entry + 120, 100)},
        {"no such stream", put32(good, entry + 66, 0)},
        {"truncated in the middle", good.first(good.size() / 2)},
    };
    for (const auto &c : cases) {
        QString error;
        EXPECT_FALSE(Succeeded(ReadCompoundFileStream(c.file, kName), error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
    }
}

} // namespace
} // namespace ordan::cfb
