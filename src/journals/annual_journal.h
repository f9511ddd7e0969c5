#pragma once

#include "core/field.h"
#include "journals/journal_read.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace ordan {

class Engine;

inline constexpr int kAnnualMonths = 12;
inline constexpr int kAnnualRows = kAnnualMonths + 1; // the title row, then one row per month
inline constexpr int kAnnualColumns = 5;

// GridJournal as shown: row 0 the titles, row m + 1 month m; column 0 the month.
using AnnualGrid = std::array<std::array<QString, kAnnualColumns>, kAnnualRows>;

// The grid before any read: titles and the month abbreviations, every value empty.
AnnualGrid InitialAnnualGrid();

struct AnnualJournalRecord {
    quint8 month = 0; // 0 = January
    quint8 year = 0;  // two BCD digits
    std::array<quint64, 3> energy{};
    quint32 operatingTime = 0; // half-minutes
};

// The record of a full reply (length byte 22 in the catalogue); nothing for any other reply.
std::optional<AnnualJournalRecord> DecodeAnnualJournalRecord(QByteArrayView reply);

// Request body (no CRC) for one month: 12 03 mm.
QByteArray AnnualJournalRequest(quint8 month);

// The sub-page "Годовой журнал": the twelve-month read and its table.
class AnnualJournal final : public QObject {
    Q_OBJECT
public:
    // Installs the decoder of code 0x12 on the engine.
    explicit AnnualJournal(Engine &engine, QObject *parent = nullptr);
    // Takes the decoder off the engine again; the engine must still exist.
    ~AnnualJournal() override;

    Action BitBtn4; // "Прочитать"; "Стоп" while the journal is read
    IntField Gauge1;
    BoolField Reading;   // months of a read are still queued
    IntField MonthsLeft; // of them
    TextField Panel3;
    Field<AnnualGrid> GridJournal;
    Action BtnJournal; // "Экспорт"; the export is wired by whoever owns it

    void BitBtn4Click();
    // Drops the months not yet asked for; the rows read so far stay and polling goes on.
    void StopRead();
    void decodeReply(const QByteArray &reply);
    // The journal progress bar belongs to the replies of its own code only.
    void replyAccepted(quint8 code);

    // The grid as the export takes it: 13 rows of 5 texts.
    QList<QStringList> exportTable() const;

private:
    Engine &engine_;
    JournalRead read_;
};

} // namespace ordan
