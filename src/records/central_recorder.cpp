#include "records/central_recorder.h"

#include "core/field.h"
#include "core/operator.h"
#include "core/system_facts.h"
#include "meter/meter_hooks.h"
#include "meter/meter_parameters.h"
#include "records/central_record.h"
#include "schedule/schedule_model.h"

#include <optional>

namespace ordan {

namespace {

const QString &RecordingCaption()
{
    static const QString caption = QStringLiteral("Ошибка записи в БД");
    return caption;
}

} // namespace

CentralRecorder::CentralRecorder(Parts parts, QObject *parent)
    : QObject(parent), db_(parts.db), p_(parts.parameters), hooks_(parts.hooks), schedule_(parts.schedule),
      actionFixDb_(parts.ActionFixDb), op_(parts.op), facts_(parts.facts), modes_(parts.modes)
{
    // Outside database mode the local log owns "+" and nothing here runs.
    if (!modes_.SqlMode)
        return;
    hooks_.lastClockSet = [this](int serialNumber) { return QueryDelta(serialNumber); };
    hooks_.syncClockFromServer = [this] { return SyncClockWithServer(); };
    p_.BitBtn1.setHandler([this] { BitBtn1Click(); });
    actionFixDb_.setHandler([this] { ActionFixDbExecute(); });
}

CentralRecorder::~CentralRecorder()
{
    if (!modes_.SqlMode)
        return;
    hooks_.lastClockSet = {};
    hooks_.syncClockFromServer = {};
    p_.BitBtn1.setHandler({});
    actionFixDb_.setHandler({});
}

void CentralRecorder::report(const QString &error)
{
    if (reportError)
        reportError(error);
}

void CentralRecorder::FormActivate()
{
    if (!modes_.SqlMode || ending_)
        return;
    if (swallowActivation_) {
        swallowActivation_ = false;
        return;
    }
    IdentifyStation();
}

void CentralRecorder::IdentifyStation()
{
    if (!modes_.SqlMode || ending_)
        return;
    const QString computer = facts_.computerName();
    const QString login = facts_.loginName();
    const auto found = IdentifyWorkstation(db_, computer, login);
    if (!found) {
        swallowActivation_ = true;
        report(found.error());
        return;
    }
    identity_ = found->ids;
    if (found->missing != Identification::Missing::None) {
        ending_ = true;
        op_.showMessage(IdentificationStopText(found->missing, computer, login),
                        QStringLiteral("Приложение остановлено"), BoxIcon::Warning, [this] {
                            if (endProgram)
                                endProgram();
                        });
        return;
    }
    if (const Status synced = SyncClockWithServer(); !synced) {
        swallowActivation_ = true;
        report(synced.error());
    }
}

Status CentralRecorder::SyncClockWithServer()
{
    const auto now = ReadServerTime(db_);
    if (!now)
        return now.failure();
    // A workstation that may not set its clock keeps its own time, without a word.
    facts_.setClock(*now);
    return {};
}

bool CentralRecorder::ensureIdentified()
{
    if (ending_)
        return false;
    if (!identified())
        IdentifyStation();
    return identified() && !ending_;
}

void CentralRecorder::RecordCentral()
{
    if (!ensureIdentified())
        return;
    const auto check = CheckMeterForRecording(db_, p_.SpinEdit_Number.value());
    if (!check) {
        report(check.error());
        return;
    }
    if (check->verdict != RecordingCheck::Verdict::Recordable) {
        op_.showMessage(RecordingRefusalText(check->verdict), RecordingCaption(), BoxIcon::Error);
        return;
    }
    RecordOperation(check->electro_id, true);
}

bool CentralRecorder::RecordOperation(int electroId, bool withSettings)
{
    // The transaction is over (committed, or rolled back) before the message shows: no
    // server locks wait on the operator.
    const auto recorded =
        ordan::RecordOperation(db_, identity_, electroId, OperationRecordFromControls(p_, withSettings));
    if (!recorded) {
        op_.showMessage(QStringLiteral("Ошибка записи в БД: ") + recorded.error(), QStringLiteral("Ошибка БД"),
                        BoxIcon::Error);
        return false;
    }
    return true;
}

void CentralRecorder::ActionFixDbExecute()
{
    if (!ensureIdentified())
        return;
    const auto meter = FindMeter(db_, p_.SpinEdit_Number.value());
    if (!meter) {
        report(meter.error());
        return;
    }
    if (!meter->has_value()) {
        op_.showMessage(RecordingRefusalText(RecordingCheck::Verdict::NotRegistered), RecordingCaption(),
                        BoxIcon::Error);
        return;
    }
    // Green means recorded: after a failed recording the indicator stays as it was, so the
    // operator never reads the error box and a green light as two different outcomes.
    if (RecordOperation(**meter, false) && lightIndicator)
        lightIndicator();
}

void CentralRecorder::BitBtn1Click()
{
    const auto next = NextUnprogrammedNumber(db_);
    if (!next) {
        report(next.error());
        return;
    }
    // An operator's change of the number: marked, so the next write programs it.
    p_.SpinEdit_Number.edit(*next);
}

QDateTime CentralRecorder::QueryDelta(int serialNumber)
{
    const auto last = LastClockSet(db_, serialNumber);
    if (!last) {
        report(last.error());
        return {};
    }
    return last->value_or(QDateTime());
}

bool CentralRecorder::LoadRecordDefaults()
{
    const auto defaults = ReadRecordDefaults(db_);
    if (!defaults) {
        // The window's first activation comes while this box is up: the same failure would
        // only be told twice.
        swallowActivation_ = true;
        report(defaults.error());
        return false;
    }
    if (defaults->zones) {
        for (int zone = 0; zone < 6; ++zone) {
            const auto &z = (*defaults->zones)[static_cast<size_t>(zone)];
            schedule_.presetZone(zone, z.tariff, z.start);
        }
    }
    schedule_.presetSingleTariff(defaults->oneTariff);
    if (defaults->indicator) {
        const auto boxes = p_.indicationBoxes();
        for (int bit = 0; bit < 4; ++bit)
            boxes[static_cast<size_t>(bit)]->set((*defaults->indicator >> bit) & 1);
    }
    if (defaults->password)
        p_.LabeledPass1.set(*defaults->password);
    return true;
}

} // namespace ordan
