#include "records/spoilage_model.h"

#include "core/operator.h"
#include "meter/meter_parameters.h"
#include "records/central_recorder.h"
#include "records/production_db.h"

namespace ordan {

SpoilageModel::SpoilageModel(CentralRecorder &central, MeterParameters &parameters, Action &actionSpoilage,
                             QObject *parent)
    : QObject(parent), Panel1(QStringLiteral("Panel1"), this), LabeledEdit1(QStringLiteral("LabeledEdit1"), &Panel1),
      LabeledEdit2(QStringLiteral("LabeledEdit2"), &Panel1),
      BitBtn1(QStringLiteral("BitBtn1"), &Panel1, QStringLiteral("Запись в БД")), central_(central), p_(parameters),
      actionSpoilage_(actionSpoilage)
{
    LabeledEdit2.setEditHandler([this] { LabeledEdit2Change(); });
    BitBtn1.setHandler([this] { BitBtn1Click(); });
    BitBtn1.setEnabled(false);
    actionSpoilage_.setHandler([this] { ActionSpoilageExecute(); });
}

SpoilageModel::~SpoilageModel() { actionSpoilage_.setHandler({}); }

void SpoilageModel::ActionSpoilageExecute()
{
    // The station hides and disables the action outside database mode; F4 must stay dead
    // there even if it were enabled.
    if (!central_.modes().SqlMode)
        return;
    const int number = p_.SpinEdit_Number.value();
    central_.query<std::optional<int>>([number](SqlSession &db) { return FindMeter(db, number); },
                                       [this, number](Result<std::optional<int>> meter) {
                                           if (!meter) {
                                               central_.report(meter.error());
                                               return;
                                           }
                                           if (!meter->has_value()) {
                                               central_.op().showMessage(
                                                   QStringLiteral("Номер прибора не описан в БД. Установите его."),
                                                   QStringLiteral("Ошибка записи"), BoxIcon::Error);
                                               return;
                                           }
                                           electroId_ = **meter;
                                           LabeledEdit1.set(QString::number(number));
                                           if (showWindow)
                                               showWindow();
                                       });
}

void SpoilageModel::FormActivate()
{
    LabeledEdit2.set({});
    BitBtn1.setEnabled(false);
}

void SpoilageModel::LabeledEdit2Change()
{
    // The edit holds what the column holds (a paste of a longer text is cut there).
    if (LabeledEdit2.value().size() > kDefectCodeMaxLength)
        LabeledEdit2.set(LabeledEdit2.value().left(kDefectCodeMaxLength));
    BitBtn1.setEnabled(DefectCodeAcceptable(LabeledEdit2.value()));
}

void SpoilageModel::BitBtn1Click()
{
    if (!DefectCodeAcceptable(LabeledEdit2.value()) || registering_)
        return;
    registering_ = true;
    central_.withStation<int>(
        [electroId = electroId_, code = LabeledEdit2.value()](SqlSession &db, const StationIdentity &ids) {
            return RegisterDefect(db, ids, electroId, code);
        },
        [this](Result<int> registered) {
            registering_ = false;
            if (!registered) {
                // The button stays enabled: the operator may try again.
                if (!registered.error().isEmpty())
                    central_.report(registered.error());
                return;
            }
            BitBtn1.setEnabled(false);
            if (this->registered)
                this->registered();
        });
}

} // namespace ordan
