#include "journals/consumption_journal.h"

#include "core/bytes.h"
#include "core/system_facts.h"
#include "journals/journal_text.h"
#include "link/engine.h"
#include "link/frame.h"
#include "link/reply_judge.h"

#include <algorithm>

namespace ordan {

using namespace Qt::Literals::StringLiterals;

const QStringList &ConsumptionCaptions()
{
    static const QStringList captions{u"Страница"_s, u"Запись"_s,  u"Время"_s,  u"1 тариф"_s,
                                      u"2 тариф"_s,  u"3 тариф"_s, u"Статус"_s, u"Наработка"_s};
    return captions;
}

std::optional<ConsumptionJournalRecord> DecodeConsumptionJournalRecord(QByteArrayView reply)
{
    if (!IsReplyForm(reply, FunctionCode::ReadConsumptionJournal))
        return std::nullopt;
    ConsumptionJournalRecord r;
    r.page = ByteAt(reply, 2);
    r.record = ByteAt(reply, 3);
    r.minute = ByteAt(reply, 4);
    r.hour = ByteAt(reply, 5);
    r.day = ByteAt(reply, 6);
    r.month = ByteAt(reply, 7);
    for (int t = 0; t < 3; ++t)
        r.energy[static_cast<size_t>(t)] = LittleEndian(reply, 8 + 5 * t, 5);
    r.status = static_cast<quint16>(LittleEndian(reply, 23, 2));
    r.operatingTime = static_cast<quint32>(LittleEndian(reply, 25, 3));
    return r;
}

ConsumptionRow ConsumptionRowTexts(const ConsumptionJournalRecord &r, int year, const QLocale &locale)
{
    return {QString::number(r.page),
            QString::number(r.record),
            JournalRecordTimeText(r.minute, r.hour, r.day, r.month, year, locale),
            JournalEnergyText(r.energy[0], locale),
            JournalEnergyText(r.energy[1], locale),
            JournalEnergyText(r.energy[2], locale),
            QString::number(r.status),
            JournalOperatingTimeText(r.operatingTime)};
}

QByteArray ConsumptionJournalRequest(quint8 page)
{
    return FrameBody(FunctionCode::ReadConsumptionJournal, Bytes({page}));
}

ConsumptionList::ConsumptionList(const QString &name, QObject *parent) : FieldBase(name, parent, Kind::Grid) {}

void ConsumptionList::append(const ConsumptionRow &row)
{
    rows_.append(row);
    Q_EMIT rowAppended(rows_.size() - 1);
    Q_EMIT valueChanged();
}

void ConsumptionList::clear()
{
    if (rows_.isEmpty())
        return;
    rows_.clear();
    Q_EMIT rowsCleared();
    Q_EMIT valueChanged();
}

ConsumptionJournal::ConsumptionJournal(Engine &engine, SystemFacts &facts, QObject *parent)
    : QObject(parent), BitBtn3(u"BitBtn3"_s, this, u"Прочитать"_s), Gauge2(u"Gauge2"_s, this, 0, 0, kConsumptionPages),
      Reading(u"Reading"_s, this, false), PagesLeft(u"PagesLeft"_s, this, 0, 0, kConsumptionPages),
      ListView1(u"ListView1"_s, this), BtnDiary(u"BtnDiary"_s, this, u"Экспорт"_s), facts_(facts),
      read_(
          engine, FunctionCode::ReadConsumptionJournal, this, {BitBtn3, Gauge2, Reading, PagesLeft},
          [this] { BitBtn3Click(); }, [this](const QByteArray &reply) { decodeReply(reply); })
{}

ConsumptionJournal::~ConsumptionJournal() = default;

void ConsumptionJournal::BitBtn3Click()
{
    read_.enqueue(kConsumptionPages, ConsumptionJournalRequest);
    ListView1.clear();
}

void ConsumptionJournal::StopRead() { read_.stop(); }

QDateTime ConsumptionJournal::now() const { return facts_.now(); }

void ConsumptionJournal::decodeReply(const QByteArray &reply)
{
    // Without a payload the byte at offset 2 is the checksum, not a page.
    if (!CarriesReply(reply, FunctionCode::ReadConsumptionJournal, ReplyForm::Short))
        return;
    if (const auto record = DecodeConsumptionJournalRecord(reply))
        ListView1.append(ConsumptionRowTexts(*record, facts_.now().date().year()));
    Gauge2.set(std::min<int>(ByteAt(reply, 2), kConsumptionPages));
}

void ConsumptionJournal::replyAccepted(quint8 code) { read_.replyAccepted(code); }

QList<QStringList> ConsumptionJournal::exportTable() const
{
    QList<QStringList> table;
    table.reserve(ListView1.size() + 1);
    table.append(ConsumptionCaptions());
    for (const ConsumptionRow &row : ListView1.rows())
        table.append(QStringList(row.begin(), row.end()));
    return table;
}

} // namespace ordan
