#pragma once

#include "core/field.h"

#include <QObject>

#include <functional>

namespace ordan {

class CentralRecorder;
class MeterParameters;

// The defect window "Классификатор брака" without its widgets, and the main window's
// action "&Брак" (F4) that opens it: a defect code typed for the meter on the bench becomes
// a row of spoilage, tied to the meter's programming of the server's current day.
class SpoilageModel final : public QObject {
    Q_OBJECT
public:
    // The action belongs to the station; its handler is set here.
    SpoilageModel(CentralRecorder &central, MeterParameters &parameters, Action &actionSpoilage,
                  QObject *parent = nullptr);
    ~SpoilageModel() override;

    Container Panel1;
    TextField LabeledEdit1; // "Счетчик №", read-only
    TextField LabeledEdit2; // "Код брака"
    Action BitBtn1;         // "Запись в БД"

    // Shows the window modally without waiting for it; set by the window.
    std::function<void()> showWindow;
    // Each defect registered (the line's counters).
    std::function<void()> registered;

    int electroId() const { return electroId_; }

    void ActionSpoilageExecute();
    // Each showing of the window.
    void FormActivate();
    void LabeledEdit2Change();
    void BitBtn1Click();

private:
    CentralRecorder &central_;
    MeterParameters &p_;
    Action &actionSpoilage_;
    int electroId_ = 0;
    // A registration is on the database worker: a second click would register the defect twice.
    bool registering_ = false;
};

} // namespace ordan
