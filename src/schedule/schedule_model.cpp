#include "schedule/schedule_model.h"

#include "core/operator.h"
#include "core/system_facts.h"
#include "link/engine.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;
using enum FunctionCode;

void DayOfMonthField::setMaximum(int maximum)
{
    maximum = qMax(1, maximum);
    if (maximum == maximum_)
        return;
    maximum_ = maximum;
    Q_EMIT stateChanged();
    set(value());
}

QDate TransferDateField::Bound(QDate d)
{
    static const QDate first(kFirstTransferYear, 1, 1);
    static const QDate last(kLastTransferYear, 12, 31);
    if (!d.isValid())
        return first;
    return qBound(first, d, last);
}

namespace {

std::array<QString, kZoneCount> TariffsOf(const ZoneTable &zones)
{
    std::array<QString, kZoneCount> out;
    for (int z = 0; z < kZoneCount; ++z)
        out[z] = zones[z].tariff;
    return out;
}

} // namespace

ScheduleModel::ScheduleModel(Engine &engine, Operator &op, SystemFacts &facts, std::function<QString()> accessPassword,
                             QObject *parent)
    : QObject(parent), TabSchedule(u"TabSchedule"_s, this), CheckOneTarif(u"CheckOneTarif"_s, &TabSchedule, true),
      BtnReadSchedule(u"BtnReadSchedule"_s, &TabSchedule, u"Прочитать"_s),
      BtnWriteSchedule(u"BtnWriteSchedule"_s, &TabSchedule, u"Записать"_s),
      BtnTemplet(u"BtnTemplet"_s, &TabSchedule, u"Восстановить праздники"_s),
      GroupTariff(u"GroupTariff"_s, &TabSchedule), LabelTime(u"LabelTime"_s, &GroupTariff, u"Время"_s),
      ValueListEditor1(u"ValueListEditor1"_s, &GroupTariff, TariffsOf(InitialZones()), FieldBase::Kind::Grid),
      Picker_Zone0(u"Picker_Zone0"_s, &GroupTariff, InitialZones()[0].start),
      Picker_Zone1(u"Picker_Zone1"_s, &GroupTariff, InitialZones()[1].start),
      Picker_Zone2(u"Picker_Zone2"_s, &GroupTariff, InitialZones()[2].start),
      Picker_Zone3(u"Picker_Zone3"_s, &GroupTariff, InitialZones()[3].start),
      Picker_Zone4(u"Picker_Zone4"_s, &GroupTariff, InitialZones()[4].start),
      Picker_Zone5(u"Picker_Zone5"_s, &GroupTariff, InitialZones()[5].start),
      StringAttrib(u"StringAttrib"_s, &GroupTariff, TariffSchedule{}.masks, FieldBase::Kind::Grid),
      GroupCel(u"GroupCel"_s, &TabSchedule), Panel7(u"Panel7"_s, &GroupCel),
      LabelMonth(u"LabelMonth"_s, &Panel7, u"месяц:"_s), ComboM(u"ComboM"_s, &Panel7, 0),
      LabelDay(u"LabelDay"_s, &Panel7, u"день:"_s), SpinD(u"SpinD"_s, &Panel7),
      BtnInsCel(u"BtnInsCel"_s, &Panel7, u"Добавить"_s), BtnDelCel(u"BtnDelCel"_s, &Panel7, u"Удалить"_s),
      ListCel(u"ListCel"_s, &GroupCel), GroupTransfer(u"GroupTransfer"_s, &TabSchedule),
      PanelTrans(u"PanelTrans"_s, &GroupTransfer), DTPTrans(u"DTPTrans"_s, &PanelTrans, facts.now().date()),
      LabelTrans(u"LabelTrans"_s, &PanelTrans, u"по графику:"_s), ComboTrans(u"ComboTrans"_s, &PanelTrans, 0),
      BtnInsTrans(u"BtnInsTrans"_s, &PanelTrans, u"Добавить"_s),
      BtnDelTrans(u"BtnDelTrans"_s, &PanelTrans, u"Удалить"_s), ListTransfer(u"ListTransfer"_s, &GroupTransfer),
      engine_(engine), operator_(op), facts_(facts),
      accessPassword_(std::move(accessPassword)), pickers_{&Picker_Zone0, &Picker_Zone1, &Picker_Zone2,
                                                           &Picker_Zone3, &Picker_Zone4, &Picker_Zone5}
{
    BtnReadSchedule.setHandler([this] { BtnReadScheduleClick(); });
    BtnWriteSchedule.setHandler([this] { BtnWriteScheduleClick(); });
    BtnTemplet.setHandler([this] { BtnTempletClick(); });
    BtnInsCel.setHandler([this] { BtnInsCelClick(); });
    BtnDelCel.setHandler([this] { BtnDelCelClick(); });
    BtnInsTrans.setHandler([this] { BtnInsTransClick(); });
    BtnDelTrans.setHandler([this] { BtnDelTransClick(); });

    // Whoever changes it (operator, reply, stored record), the three groups follow.
    connect(&CheckOneTarif, &FieldBase::valueChanged, this, [this] { applyEnablingRule(); });
    for (int z = 0; z < kZoneCount; ++z)
        pickers_[z]->setEditHandler([this, z] { setZoneStart(z, pickers_[z]->value()); });
    connect(&ComboM, &FieldBase::valueChanged, this, [this] { SpinD.setMaximum(HolidayDayLimit(ComboM.value() + 1)); });
    DTPTrans.setEditHandler([this] { DTPTrans.set(TransferDateFloor(DTPTrans.value(), today())); });
    // A list rebuilt under the selection loses it.
    connect(&ListCel, &FieldBase::valueChanged, this, [this] {
        selectHolidays({});
        updateListButtons();
    });
    connect(&ListTransfer, &FieldBase::valueChanged, this, [this] {
        selectTransfers({});
        updateListButtons();
    });

    ListCel.set(DefaultHolidays());
    BtnReadSchedule.setEnabled(false);
    BtnWriteSchedule.setEnabled(false);

    engine_.setDecoder(ReadZoneTable, [this](const QByteArray &r) { decodeZoneTable(r); });
    engine_.setDecoder(ReadDayTypeMasks, [this](const QByteArray &r) { decodeMasks(r); });
    engine_.setDecoder(ReadHoliday, [this](const QByteArray &r) { decodeHoliday(r); });
    engine_.setDecoder(ReadTransfer, [this](const QByteArray &r) { decodeTransfer(r); });

    applyEnablingRule();
}

ScheduleModel::~ScheduleModel()
{
    for (FunctionCode code : {ReadZoneTable, ReadDayTypeMasks, ReadHoliday, ReadTransfer})
        engine_.setDecoder(code, {});
}

QDate ScheduleModel::today() const { return facts_.now().date(); }

ZoneTable ScheduleModel::zones() const
{
    ZoneTable out;
    for (int z = 0; z < kZoneCount; ++z)
        out[z] = {pickers_[z]->value(), ValueListEditor1.value()[z]};
    return out;
}

void ScheduleModel::setZones(const ZoneTable &zones)
{
    ValueListEditor1.set(TariffsOf(zones));
    for (int z = 0; z < kZoneCount; ++z)
        pickers_[z]->set(zones[z].start);
}

TariffSchedule ScheduleModel::schedule() const
{
    TariffSchedule s;
    s.singleTariff = CheckOneTarif.value();
    s.zones = zones();
    s.masks = StringAttrib.value();
    s.holidays = ListCel.value();
    s.transfers = ListTransfer.value();
    return s;
}

void ScheduleModel::setSchedule(const TariffSchedule &s)
{
    setZones(s.zones);
    StringAttrib.set(s.masks);
    ListCel.set(s.holidays.mid(0, kMaxListEntries));
    ListTransfer.set(s.transfers.mid(0, kMaxListEntries));
    CheckOneTarif.set(s.singleTariff);
    applyEnablingRule();
}

void ScheduleModel::setZoneStart(int zone, QTime t)
{
    if (zone < 0 || zone >= kZoneCount)
        return;
    ZoneTable z = zones();
    PropagateStartTime(z, zone, t);
    setZones(z);
}

void ScheduleModel::setZoneTariff(int zone, const QString &tariff)
{
    if (zone < 0 || zone >= kZoneCount)
        return;
    auto tariffs = ValueListEditor1.value();
    tariffs[zone] = tariff;
    ValueListEditor1.edit(tariffs);
}

void ScheduleModel::StringAttribSelectCell(int col, int row)
{
    if (row < 1 || row > kZoneCount || col < 0 || col >= kDayTypeCount)
        return;
    MaskTable masks = StringAttrib.value();
    masks[row - 1] = ToggleDayType(masks[row - 1], col + 1);
    StringAttrib.edit(masks);
}

namespace {

QList<int> ValidRows(QList<int> rows, qsizetype size)
{
    QList<int> out;
    std::sort(rows.begin(), rows.end());
    for (int r : rows)
        if (r >= 0 && r < size && (out.isEmpty() || out.back() != r))
            out.append(r);
    return out;
}

// Takes the valid ones of `rows` as a list's new selection; false when it stays as it was.
bool Reselect(QList<int> &selection, const QList<int> &rows, qsizetype size)
{
    QList<int> valid = ValidRows(rows, size);
    if (valid == selection)
        return false;
    selection = std::move(valid);
    return true;
}

} // namespace

void ScheduleModel::selectHolidays(const QList<int> &rows)
{
    if (!Reselect(holidaySelection_, rows, ListCel.value().size()))
        return;
    updateListButtons();
    Q_EMIT holidaySelectionChanged();
}

void ScheduleModel::selectTransfers(const QList<int> &rows)
{
    if (!Reselect(transferSelection_, rows, ListTransfer.value().size()))
        return;
    updateListButtons();
    Q_EMIT transferSelectionChanged();
}

void ScheduleModel::BtnInsCelClick()
{
    QList<HolidayEntry> list = ListCel.value();
    if (!InsertHoliday(list, {SpinD.value(), ComboM.value() + 1}))
        return;
    ListCel.edit(list);
    updateListButtons();
}

void ScheduleModel::BtnDelCelClick()
{
    QList<HolidayEntry> list = ListCel.value();
    RemoveRows(list, holidaySelection_);
    selectHolidays({});
    ListCel.edit(list);
    updateListButtons();
}

void ScheduleModel::BtnTempletClick()
{
    ListCel.edit(DefaultHolidays());
    updateListButtons();
}

void ScheduleModel::BtnInsTransClick()
{
    QList<TransferEntry> list = ListTransfer.value();
    if (!InsertTransfer(list, {DTPTrans.value(), ComboTrans.value() + 1}))
        return;
    ListTransfer.edit(list);
    updateListButtons();
}

void ScheduleModel::BtnDelTransClick()
{
    QList<TransferEntry> list = ListTransfer.value();
    RemoveRows(list, transferSelection_);
    selectTransfers({});
    ListTransfer.edit(list);
    updateListButtons();
}

void ScheduleModel::applyEnablingRule()
{
    const bool on = !CheckOneTarif.value();
    EnableGroup(on, &GroupTariff);
    EnableGroup(on, &GroupCel);
    EnableGroup(on, &GroupTransfer);
    updateListButtons();
}

// The add buttons follow the 16-entry limit and the delete buttons the selection, both only
// while the groups are enabled at all.
void ScheduleModel::updateListButtons()
{
    const bool on = !CheckOneTarif.value();
    BtnInsCel.setEnabled(on && ListCel.value().size() < kMaxListEntries);
    BtnDelCel.setEnabled(on && !holidaySelection_.isEmpty());
    BtnInsTrans.setEnabled(on && ListTransfer.value().size() < kMaxListEntries);
    BtnDelTrans.setEnabled(on && !transferSelection_.isEmpty());
}

void ScheduleModel::setConnected(bool connected)
{
    BtnReadSchedule.setEnabled(connected);
    BtnWriteSchedule.setEnabled(connected);
}

void ScheduleModel::applyMeterVersion(int meterVersion)
{
    const bool extended = HasExtendedSchedule(meterVersion);
    StringAttrib.setVisible(extended);
    GroupCel.setVisible(extended);
    GroupTransfer.setVisible(extended);
    BtnTemplet.setVisible(extended);
}

void ScheduleModel::presetSingleTariff(bool on) { CheckOneTarif.set(on); }

void ScheduleModel::presetZone(int zone, const QString &tariff, QTime start)
{
    if (zone < 0 || zone >= kZoneCount)
        return;
    auto tariffs = ValueListEditor1.value();
    tariffs[zone] = tariff;
    ValueListEditor1.set(tariffs);
    pickers_[zone]->set(start);
}

EncodedRequest ScheduleModel::zoneTableRequest() const { return ZoneTableRequest(CheckOneTarif.value(), zones()); }

std::optional<QByteArray> ScheduleModel::scheduleZonesBody()
{
    EncodedRequest r = zoneTableRequest();
    if (!r.ok()) {
        operator_.showMessage(r.error(), u"Ошибка"_s, BoxIcon::Error);
        return std::nullopt;
    }
    return r.value();
}

void ScheduleModel::BtnReadScheduleClick()
{
    if (!engine_.isConnected())
        return;
    const int version = engine_.meterVersion();
    if (HasExtendedSchedule(version)) {
        // Emptied before any reply: the replies append in slot order.
        ListCel.set({});
        ListTransfer.set({});
    }
    for (const QByteArray &body : ScheduleReadSequence(version))
        engine_.EnqueueRequest(body);
}

void ScheduleModel::BtnWriteScheduleClick()
{
    if (!engine_.isConnected())
        return;
    const int version = engine_.meterVersion();
    const TariffSchedule s = schedule();
    const auto showError = [this](const QString &text) { operator_.showMessage(text, u"Ошибка"_s, BoxIcon::Error); };
    if (const Status checked = WriteCheck(s, version); !checked) {
        showError(checked.error());
        return;
    }
    // Everything is built before anything is queued: a refused entry leaves the queue as it was.
    const EncodedRequests frames = ScheduleWriteSequence(s, version, accessPassword_ ? accessPassword_() : QString());
    if (!frames.ok()) {
        showError(frames.error());
        return;
    }
    engine_.beginWrite(WriteKind::Schedule);
    for (const QByteArray &body : frames.value())
        engine_.EnqueueRequest(body);
}

void ScheduleModel::decodeZoneTable(const QByteArray &reply)
{
    const ZoneTableReply r = DecodeZoneTable(reply);
    CheckOneTarif.set(r.singleTariff);
    applyEnablingRule();
    if (!r.hasZones)
        return;
    ZoneTable z = zones();
    for (int i = 0; i < kZoneCount; ++i) {
        z[i].tariff = r.tariffs[i];
        if (r.starts[i])
            z[i].start = *r.starts[i];
        else
            engine_.log().message(InvalidZoneTimeText(i));
    }
    setZones(z);
}

void ScheduleModel::decodeMasks(const QByteArray &reply) { StringAttrib.set(DecodeMasks(reply)); }

namespace {

// A slot read adds its entry at the end of its list, while the list has room.
template <typename Entry> void AppendSlotEntry(Field<QList<Entry>> &list, const std::optional<Entry> &entry)
{
    if (!entry || list.value().size() >= kMaxListEntries)
        return;
    QList<Entry> entries = list.value();
    entries.append(*entry);
    list.set(entries);
}

} // namespace

void ScheduleModel::decodeHoliday(const QByteArray &reply) { AppendSlotEntry(ListCel, DecodeHoliday(reply)); }

void ScheduleModel::decodeTransfer(const QByteArray &reply) { AppendSlotEntry(ListTransfer, DecodeTransfer(reply)); }

} // namespace ordan
