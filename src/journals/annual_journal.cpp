#include "journals/annual_journal.h"

#include "core/bytes.h"
#include "journals/journal_text.h"
#include "link/engine.h"
#include "link/frame.h"
#include "link/reply_judge.h"

#include <algorithm>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

AnnualGrid InitialAnnualGrid()
{
    AnnualGrid grid;
    grid[0] = {u"месяц"_s, u"1 тариф"_s, u"2 тариф"_s, u"3 тариф"_s, u"наработка"_s};
    for (int m = 0; m < kAnnualMonths; ++m)
        grid[static_cast<size_t>(m + 1)][0] = JournalMonthAbbreviations()[m];
    return grid;
}

std::optional<AnnualJournalRecord> DecodeAnnualJournalRecord(QByteArrayView reply)
{
    if (!IsReplyForm(reply, FunctionCode::ReadAnnualJournal))
        return std::nullopt;
    AnnualJournalRecord r;
    r.month = ByteAt(reply, 2);
    r.year = ByteAt(reply, 3);
    for (int t = 0; t < 3; ++t)
        r.energy[static_cast<size_t>(t)] = LittleEndian(reply, 4 + 5 * t, 5);
    r.operatingTime = static_cast<quint32>(LittleEndian(reply, 19, 3));
    return r;
}

QByteArray AnnualJournalRequest(quint8 month) { return FrameBody(FunctionCode::ReadAnnualJournal, Bytes({month})); }

AnnualJournal::AnnualJournal(Engine &engine, QObject *parent)
    : QObject(parent), BitBtn4(u"BitBtn4"_s, this, u"Прочитать"_s), Gauge1(u"Gauge1"_s, this, 0, 0, kAnnualMonths),
      Reading(u"Reading"_s, this, false), MonthsLeft(u"MonthsLeft"_s, this, 0, 0, kAnnualMonths),
      Panel3(u"Panel3"_s, this, u"Годовой журнал"_s),
      GridJournal(u"GridJournal"_s, this, InitialAnnualGrid(), FieldBase::Kind::Grid),
      BtnJournal(u"BtnJournal"_s, this, u"Экспорт"_s), engine_(engine),
      read_(
          engine, FunctionCode::ReadAnnualJournal, this, {BitBtn4, Gauge1, Reading, MonthsLeft},
          [this] { BitBtn4Click(); }, [this](const QByteArray &reply) { decodeReply(reply); })
{}

AnnualJournal::~AnnualJournal() = default;

void AnnualJournal::BitBtn4Click()
{
    read_.enqueue(kAnnualMonths, AnnualJournalRequest);
    AnnualGrid grid = GridJournal.value();
    for (int row = 1; row < kAnnualRows; ++row)
        for (int column = 1; column < kAnnualColumns; ++column)
            grid[static_cast<size_t>(row)][static_cast<size_t>(column)].clear();
    GridJournal.set(grid);
}

void AnnualJournal::StopRead() { read_.stop(); }

void AnnualJournal::decodeReply(const QByteArray &reply)
{
    // Without a payload the byte at offset 2 is the checksum, not a month.
    if (!CarriesReply(reply, FunctionCode::ReadAnnualJournal, ReplyForm::Short))
        return;
    const quint8 month = ByteAt(reply, 2);
    if (month < kAnnualMonths) {
        AnnualGrid grid = GridJournal.value();
        auto &row = grid[static_cast<size_t>(month + 1)];
        const QString &name = JournalMonthAbbreviations()[month];
        if (const auto record = DecodeAnnualJournalRecord(reply)) {
            row[0] = HexByte(record->year) + u' ' + name;
            for (size_t t = 0; t < 3; ++t)
                row[t + 1] = JournalEnergyText(record->energy[t]);
            row[4] = JournalOperatingTimeText(record->operatingTime);
        } else {
            row = {name, {}, {}, {}, {}};
        }
        GridJournal.set(grid);
    } else if (IsReplyForm(reply, FunctionCode::ReadAnnualJournal)) {
        engine_.log().message(u"Некорректный месяц журнала"_s);
    }
    Gauge1.set(std::min(month + 1, kAnnualMonths));
}

void AnnualJournal::replyAccepted(quint8 code) { read_.replyAccepted(code); }

QList<QStringList> AnnualJournal::exportTable() const
{
    QList<QStringList> table;
    for (const auto &row : GridJournal.value())
        table.append(QStringList(row.begin(), row.end()));
    return table;
}

} // namespace ordan
