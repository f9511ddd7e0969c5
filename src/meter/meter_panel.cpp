#include "meter/meter_panel.h"

#include "core/system_facts.h"
#include "link/engine.h"
#include "meter/meter_clock.h"
#include "meter/parameter_decoders.h"
#include "meter/readings.h"
#include "meter/status_text.h"

namespace ordan {

namespace {

// Every code whose reply this subsystem decodes or acknowledges (9 belongs to the schedule).
using enum FunctionCode;
constexpr FunctionCode kDecodedCodes[] = {
    ReadFirmwareVersion, ReadSerialNumber, WriteSerialNumber,   WriteBusAddress, ReadClock,
    WriteClock,          ReadStatus,       ResetStatusFixation, ReadDdmNumbers,  WriteDdmNumbers,
    ReadRadioStatus,     ReadIndication,   WriteIndication,     ReadReadings,    ReadOperatingTime,
    AccessPassword,      ReadBillingDay,   WriteBillingDay,     ResetBillingDay, ReadDdmTimes,
};

} // namespace

MeterPanel::MeterPanel(Engine &engine, Operator &op, SystemFacts &facts, const Modes &modes, QObject *parent)
    : QObject(parent), engine_(engine), facts_(facts), parameters_(modes, this),
      writer_(parameters_, engine, op, hooks, this)
{
    installDecoders();
}

MeterPanel::~MeterPanel()
{
    // The engine may outlive the panel; it must not call into it then.
    for (FunctionCode code : kDecodedCodes)
        engine_.setDecoder(code, {});
}

void MeterPanel::installDecoders()
{
    MeterParameters &p = parameters_;
    engine_.setDecoder(FunctionCode::ReadFirmwareVersion, [this, &p](const QByteArray &r) {
        DecodeFirmwareVersion(r, p, [this](int v) { engine_.setMeterVersion(v); });
    });
    engine_.setDecoder(FunctionCode::ReadSerialNumber,
                       [this, &p](const QByteArray &r) { DecodeSerialNumber(r, p, hooks.lastClockSet); });
    engine_.setDecoder(FunctionCode::ReadClock, [this, &p](const QByteArray &r) {
        DecodeClock(r, p, facts_.now(), [this](const QString &line) { engine_.log().message(line); });
    });
    engine_.setDecoder(FunctionCode::ReadStatus, [&p](const QByteArray &r) { DecodeFullStatus(r, p); });
    engine_.setDecoder(FunctionCode::ReadDdmNumbers, [&p](const QByteArray &r) { DecodeDdmNumbers(r, p); });
    engine_.setDecoder(FunctionCode::ReadRadioStatus, [&p](const QByteArray &r) { DecodeRadioStatus(r, p); });
    engine_.setDecoder(FunctionCode::ReadIndication, [&p](const QByteArray &r) { DecodeIndication(r, p); });
    engine_.setDecoder(FunctionCode::ReadReadings, [&p](const QByteArray &r) { DecodeReadings(r, p); });
    engine_.setDecoder(FunctionCode::ReadOperatingTime, [&p](const QByteArray &r) { DecodeOperatingTime(r, p); });
    engine_.setDecoder(FunctionCode::ReadBillingDay, [&p](const QByteArray &r) { DecodeBillingDay(r, p); });
    engine_.setDecoder(FunctionCode::ReadDdmTimes, [&p](const QByteArray &r) { DecodeDdmTimes(r, p); });
    writer_.installDecoders();
}

void MeterPanel::followClock()
{
    const QDateTime now = facts_.now();
    if (parameters_.DatePicker.mark() == 0)
        parameters_.DatePicker.set(now.date());
    if (parameters_.TimePicker.mark() == 0) {
        const QTime t = now.time();
        parameters_.TimePicker.set(QTime(t.hour(), t.minute(), t.second()));
    }
}

} // namespace ordan
