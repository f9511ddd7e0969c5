#include "meter/meter_panel.h"

#include "core/system_facts.h"
#include "link/engine.h"
#include "link/reply_judge.h"
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

void MeterPanel::installDecoder(FunctionCode code, CheckedDecoder decode)
{
    engine_.setDecoder(code, [this, code, decode = std::move(decode)](const QByteArray &reply) {
        if (!decode(reply))
            engine_.log().message(ShortReplyMessage(reply, code));
    });
}

void MeterPanel::installDecoders()
{
    MeterParameters &p = parameters_;
    installDecoder(ReadFirmwareVersion, [this, &p](const QByteArray &r) {
        return DecodeFirmwareVersion(r, p, [this](int v) { engine_.setMeterVersion(v); });
    });
    installDecoder(ReadSerialNumber,
                   [this, &p](const QByteArray &r) { return DecodeSerialNumber(r, p, hooks.lastClockSet); });
    installDecoder(ReadClock, [this, &p](const QByteArray &r) {
        return DecodeClock(r, p, facts_.now(), [this](const QString &line) { engine_.log().message(line); });
    });
    installDecoder(ReadStatus, [&p](const QByteArray &r) { return DecodeFullStatus(r, p); });
    installDecoder(ReadDdmNumbers, [&p](const QByteArray &r) { return DecodeDdmNumbers(r, p); });
    installDecoder(ReadRadioStatus, [&p](const QByteArray &r) { return DecodeRadioStatus(r, p); });
    installDecoder(ReadIndication, [&p](const QByteArray &r) { return DecodeIndication(r, p); });
    installDecoder(ReadReadings, [&p](const QByteArray &r) { return DecodeReadings(r, p); });
    installDecoder(ReadOperatingTime, [&p](const QByteArray &r) { return DecodeOperatingTime(r, p); });
    installDecoder(ReadBillingDay, [&p](const QByteArray &r) { return DecodeBillingDay(r, p); });
    installDecoder(ReadDdmTimes, [&p](const QByteArray &r) { return DecodeDdmTimes(r, p); });
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
