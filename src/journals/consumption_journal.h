#pragma once

#include "core/field.h"
#include "journals/journal_read.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace ordan {

class Engine;
class SystemFacts;

inline constexpr int kConsumptionPages = 250;
inline constexpr int kConsumptionColumns = 8;

// One row of ListView1, in column order.
using ConsumptionRow = std::array<QString, kConsumptionColumns>;

// "Страница", "Запись", "Время", "1 тариф", "2 тариф", "3 тариф", "Статус", "Наработка".
const QStringList &ConsumptionCaptions();

struct ConsumptionJournalRecord {
    quint8 page = 0;
    quint8 record = 0;
    quint8 minute = 0; // BCD, as are hour, day and month
    quint8 hour = 0;
    quint8 day = 0;
    quint8 month = 0;
    std::array<quint64, 3> energy{};
    quint16 status = 0;
    quint32 operatingTime = 0; // half-minutes
};

// The record of a full reply (length byte 28 in the catalogue); nothing for any other reply.
std::optional<ConsumptionJournalRecord> DecodeConsumptionJournalRecord(QByteArrayView reply);

// The texts of a record's row; the stamp is placed in `year`.
ConsumptionRow ConsumptionRowTexts(const ConsumptionJournalRecord &record, int year, const QLocale &locale = QLocale());

// Request body (no CRC) for one page: 13 03 pp.
QByteArray ConsumptionJournalRequest(quint8 page);

// The rows of ListView1. Rows only ever arrive at the end or all go at once, so a view
// follows it row by row instead of redrawing the whole list on every reply.
class ConsumptionList final : public FieldBase {
    Q_OBJECT
public:
    ConsumptionList(const QString &name, QObject *parent);

    const QList<ConsumptionRow> &rows() const { return rows_; }
    qsizetype size() const { return rows_.size(); }
    void append(const ConsumptionRow &row);
    void clear();

Q_SIGNALS:
    void rowAppended(qsizetype index);
    void rowsCleared();

private:
    QList<ConsumptionRow> rows_;
};

// The sub-page "Журнал потребления": the 250-page read and its list.
class ConsumptionJournal final : public QObject {
    Q_OBJECT
public:
    // Installs the decoder of code 0x13 on the engine. The records carry no year: the
    // workstation's clock gives it when a record arrives.
    ConsumptionJournal(Engine &engine, SystemFacts &facts, QObject *parent = nullptr);
    // Takes the decoder off the engine again; the engine must still exist.
    ~ConsumptionJournal() override;

    Action BitBtn3; // "Прочитать"; "Стоп" while the journal is read
    IntField Gauge2;
    BoolField Reading;  // pages of a read are still queued
    IntField PagesLeft; // of them
    ConsumptionList ListView1;
    Action BtnDiary; // "Экспорт"; the export is wired by whoever owns it

    void BitBtn3Click();
    // Drops the pages not yet asked for; the rows read so far stay and polling goes on.
    void StopRead();
    // The records carry no year: the year their stamps are placed in now.
    QDateTime now() const;
    void decodeReply(const QByteArray &reply);
    void replyAccepted(quint8 code);

    // The list as the export takes it: the captions, then one row per record.
    QList<QStringList> exportTable() const;

private:
    SystemFacts &facts_;
    JournalRead read_;
};

} // namespace ordan
