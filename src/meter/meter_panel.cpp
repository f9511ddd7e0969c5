#include "meter/meter_panel.h"

#include "core/system_facts.h"
#include "link/engine.h"
#include "meter/meter_clock.h"
#include "meter/parameter_decoders.h"
#include "meter/readings.h"
#include "meter/status_text.h"

namespace ordan
{

namespace
{

// Every code whose reply this subsystem decodes or acknowledges (9 belongs to the schedule).
constexpr quint8 kDecodedCodes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0A, 0x0B,
                                    0x0C, 0x0D, 0x0E, 0x0F, 0x11, 0x14, 0x22, 0x23, 0x24, 0x2A};

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
    for (quint8 code : kDecodedCodes)
        engine_.setDecoder(code, {});
}

void MeterPanel::installDecoders()
{
    MeterParameters &p = parameters_;
    engine_.setDecoder(
        0x00, [this, &p](const QByteArray &r) { DecodeFirmwareVersion(r, p, engine_.MeterVersion); });
    engine_.setDecoder(0x01,
                       [this, &p](const QByteArray &r) { DecodeSerialNumber(r, p, hooks.lastClockSet); });
    engine_.setDecoder(0x04, [this, &p](const QByteArray &r) {
        DecodeClock(r, p, facts_.now(), [this](const QString &line) { engine_.log().message(line); });
    });
    engine_.setDecoder(0x06, [&p](const QByteArray &r) { DecodeFullStatus(r, p); });
    engine_.setDecoder(0x0A, [&p](const QByteArray &r) { DecodeDdmNumbers(r, p); });
    engine_.setDecoder(0x0C, [&p](const QByteArray &r) { DecodeRadioStatus(r, p); });
    engine_.setDecoder(0x0D, [&p](const QByteArray &r) { DecodeIndication(r, p); });
    engine_.setDecoder(0x0F, [&p](const QByteArray &r) { DecodeReadings(r, p); });
    engine_.setDecoder(0x11, [&p](const QByteArray &r) { DecodeOperatingTime(r, p); });
    engine_.setDecoder(0x22, [&p](const QByteArray &r) { DecodeBillingDay(r, p); });
    engine_.setDecoder(0x2A, [&p](const QByteArray &r) { DecodeDdmTimes(r, p); });
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
