#include "meter/parameter_decoders.h"

#include "core/bytes.h"
#include "link/reply_judge.h"
#include "meter/meter_text.h"

namespace ordan {

int FactoryNumberAt(QByteArrayView frame)
{
    return static_cast<int>(LittleEndian(frame, 2, 2) | ((ByteAt(frame, 4) & 1u) << 16));
}

std::array<int, 3> DdmNumbersAt(QByteArrayView frame)
{
    std::array<int, 3> numbers{};
    for (int phase = 0; phase < 3; ++phase)
        numbers[static_cast<size_t>(phase)] = static_cast<int>(LittleEndian(frame, 2 + 3 * phase, 3));
    return numbers;
}

BillingTime BillingTimeAt(QByteArrayView frame) { return {BcdDecode(ByteAt(frame, 3)), BcdDecode(ByteAt(frame, 2))}; }

bool DecodeFirmwareVersion(QByteArrayView reply, MeterParameters &p, const std::function<void(int)> &setMeterVersion)
{
    if (!CarriesReply(reply, FunctionCode::ReadFirmwareVersion))
        return false;
    const int minor = BcdDecode(ByteAt(reply, 2));
    const int major = BcdDecode(ByteAt(reply, 3));
    p.LabeledVersion.set(QString::number(major) + QLatin1Char('.') + QString::number(minor));
    setMeterVersion(major);
    p.setExtendedControlsVisible(major > 9);
    return true;
}

bool DecodeSerialNumber(QByteArrayView reply, MeterParameters &p, const LastClockSetLookup &lookup)
{
    if (!CarriesReply(reply, FunctionCode::ReadSerialNumber))
        return false;
    if (p.SpinEdit_Number.mark() != 0)
        return true;
    const int number = FactoryNumberAt(reply);
    const int shown = p.SpinEdit_Number.value();
    if (number != shown) {
        p.SpinEdit_Number.set(number);
        // Showing a new number is a change of the control, which may give the new address.
        p.SpinEdit_NumberChange();
    }
    // A meter that has a factory number cannot be given another one from the window.
    p.SpinEdit_Number.setEnabled(number == 0);
    p.BitBtn1.setEnabled(number == 0);
    p.SpinEdit_Number.setMark(0);
    p.identityRead = true;
    if (p.modes().SqlMode && number != shown) {
        p.LastClockSet = QDateTime();
        if (lookup)
            lookup(number);
    }
    return true;
}

bool DecodeDdmNumbers(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadDdmNumbers))
        return false;
    if (p.CheckDdmRead.value())
        return true;
    const auto spins = p.ddmSpins();
    const std::array<int, 3> numbers = DdmNumbersAt(reply);
    for (size_t phase = 0; phase < numbers.size(); ++phase) {
        IntField *spin = spins[phase];
        if (spin->mark() != 0)
            continue;
        spin->set(numbers[phase]);
        spin->setMark(0);
    }
    return true;
}

bool DecodeIndication(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadIndication))
        return false;
    if (p.CheckNoIndi.value())
        return true;
    const auto boxes = p.indicationBoxes();
    for (const BoolField *box : boxes)
        if (box->mark() != 0)
            return true; // one edited box keeps all four as the operator set them
    const quint8 mask = ByteAt(reply, 2);
    for (int bit = 0; bit < 4; ++bit) {
        BoolField *box = boxes[static_cast<size_t>(bit)];
        box->set((mask >> bit) & 1);
        box->setMark(0);
    }
    return true;
}

QString OperatingTimeText(quint32 count)
{
    return QString::number(count / 120) + QLatin1Char(':') + QString::number((count % 120) / 2);
}

bool DecodeOperatingTime(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadOperatingTime))
        return false;
    const auto count = static_cast<quint32>(LittleEndian(reply, 2, 3));
    p.EditOff.set(QString::number(count));
    p.LabeledOff.set(OperatingTimeText(count));
    p.LabeledNCorrect.set(QString::number(ByteAt(reply, 5)));
    return true;
}

bool DecodeBillingDay(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadBillingDay))
        return false;
    if (p.CheckReadTarif.value())
        return true;
    const BillingTime billing = BillingTimeAt(reply);
    if (p.SpinDay.mark() == 0) {
        p.SpinDay.set(billing.day);
        p.SpinDay.setMark(0);
    }
    if (p.SpinHour.mark() == 0) {
        p.SpinHour.set(billing.hour);
        p.SpinHour.setMark(0);
    }
    return true;
}

QString DdmTimeText(quint32 seconds)
{
    // Zone-less arithmetic: the meter's stamps know no summer time.
    const QDateTime at = QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC).addSecs(seconds);
    return ShortDateLongTime(at.date(), at.time());
}

bool DecodeDdmTimes(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadDdmTimes))
        return false;
    if (p.CheckDdmRead.value())
        return true;
    const auto spins = p.ddmSpins();
    const auto labels = p.ddmLabels();
    for (int phase = 0; phase < 3; ++phase) {
        const auto stamp = static_cast<quint32>(LittleEndian(reply, 3 + 5 * phase, 4));
        TextField *label = labels[static_cast<size_t>(phase)];
        if (spins[static_cast<size_t>(phase)]->value() > 0 && stamp != 0)
            label->set(DdmTimeText(stamp));
        else
            label->set({});
    }
    return true;
}

} // namespace ordan
