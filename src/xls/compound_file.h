#pragma once

// The OLE2 compound file (CFB) container of an Excel 97 workbook: a small FAT file system in
// one file. Only what a workbook needs: a root storage holding one stream.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace ordan::cfb {

// Special sector numbers in the FAT and DIFAT.
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kNoStream = 0xFFFFFFFF;

constexpr int kSectorSize = 512; // version 3
constexpr int kHeaderDifatEntries = 109;
constexpr quint32 kMiniStreamCutoff = 4096;

// A version 3 compound file with a "Root Entry" holding the one stream `name`.
//
// A stream shorter than the 4096-byte cutoff would have to live in the mini stream; we pad it
// with zero bytes to 4096 instead, which keeps every stream in regular sectors and the writer
// free of a second allocation table. BIFF readers stop at the last EOF record, so the padding
// is never read as records.
//
// Layout: stream sectors, one directory sector, the FAT sectors, then DIFAT sectors when more
// than 109 FAT sectors are needed (streams over about 6.8 MB).
QByteArray BuildCompoundFile(const QString &name, QByteArrayView stream);

// The bytes of the stream `name` (compared without case), found by a linear scan of the
// directory. Every sector number, chain and size is checked against the file; a damaged or
// foreign file fails with the reason. Streams kept in the mini stream are not supported: Excel
// and this writer keep the workbook stream in regular sectors.
Result<QByteArray> ReadCompoundFileStream(QByteArrayView file, const QString &name);

} // namespace ordan::cfb
