#include "link/serial_link.h"

#include "link/exchange_log.h"

namespace ordan {

Status SerialLink::open(const QString &port, int baud)
{
    if (Status opened = line_.open(port, baud); !opened)
        return opened;
    line_.setParity(Parity::Mark);
    line_.setRts(true);
    return {};
}

Status SerialLink::close()
{
    if (Status closed = line_.close(); !closed)
        return closed;
    // The next connection starts in the address phase, not in the reply phase of the last.
    line_.setParity(Parity::Mark);
    return {};
}

void SerialLink::sendAddress(quint8 address)
{
    line_.setParity(Parity::Mark);
    line_.setRts(true);
    line_.write(QByteArray(1, static_cast<char>(address)));
    log_.addressSent(address);
}

bool SerialLink::onAddressPhaseBytes(const QByteArray &bytes, quint8 busAddress, const QByteArray &request)
{
    // Only the first byte is the echo; whatever else came with it is dropped.
    if (bytes.isEmpty() || static_cast<quint8>(bytes[0]) != busAddress)
        return false;
    line_.setParity(Parity::Space);
    line_.setRts(true);
    line_.write(request);
    log_.requestSent(request);
    ++sendCount_;
    return true;
}

} // namespace ordan
