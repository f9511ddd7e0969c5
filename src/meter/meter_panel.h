#pragma once

#include "core/modes.h"
#include "meter/meter_hooks.h"
#include "meter/meter_parameters.h"
#include "meter/settings_writer.h"

#include "link/protocol.h"

#include <QByteArray>
#include <QObject>

#include <functional>

namespace ordan {

class Engine;
class Operator;
class SystemFacts;

// The meter parameters subsystem as the station wires it: the model of the pages
// "Установка" and "Показания", the decoders of every reply that fills them, the settings
// write and the billing-day reset. Construct it after the engine; fill `hooks` before the
// first connect.
class MeterPanel final : public QObject {
    Q_OBJECT
public:
    MeterPanel(Engine &engine, Operator &op, SystemFacts &facts, const Modes &modes, QObject *parent = nullptr);
    ~MeterPanel() override;

    MeterParameters &parameters() { return parameters_; }
    const MeterParameters &parameters() const { return parameters_; }
    SettingsWriter &writer() { return writer_; }

    MeterHooks hooks;

    // What the station's EngineHost passes on.
    void ClearMeterData() { parameters_.ClearMeterData(); }
    void followClock();
    void setWriteActionsEnabled(bool on) { writer_.setWriteActionsEnabled(on); }

private:
    // A decoder that refuses a reply too short for it leaves every field as it was; the
    // exchange log says why.
    using CheckedDecoder = std::function<bool(const QByteArray &reply)>;
    void installDecoder(FunctionCode code, CheckedDecoder decode);
    void installDecoders();

    Engine &engine_;
    SystemFacts &facts_;
    MeterParameters parameters_;
    SettingsWriter writer_;
};

} // namespace ordan
