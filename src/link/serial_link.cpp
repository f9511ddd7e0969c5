#include "link/serial_link.h"

#include "link/exchange_log.h"

namespace ordan {

QString PortErrorText(const QString &port, const QString &reason)
{
    return QStringLiteral("Ошибка порта %1: %2").arg(port, reason);
}

QString StickParityRefusedText(const QString &port, const QString &reason)
{
    return QStringLiteral("Порт %1 не переключает чётность mark/space (%2): адрес счётчику не уйдёт. Нужен адаптер, "
                          "драйвер которого это умеет: FTDI, CP2102 и новее, PL2303, CH340 (список в README, "
                          "раздел «With a real meter»).")
        .arg(port, reason);
}

Status SerialLink::open(const QString &port, int baud)
{
    if (Status opened = line_.open(port, baud); !opened)
        return opened;
    port_ = port;
    if (Status taken = checkStickParity(); !taken) {
        QString text = StickParityRefusedText(port, taken.error());
        if (Status closed = line_.close(); !closed)
            text += QLatin1Char('\n') + closed.error();
        log_.message(text);
        return Fail(text);
    }
    line_.setRts(true);
    return {};
}

Status SerialLink::checkStickParity()
{
    // Space first: the line is left in mark, where every exchange starts.
    for (const Parity parity : {Parity::Space, Parity::Mark})
        if (Status set = line_.setParity(parity); !set)
            return set;
    return {};
}

Status SerialLink::close()
{
    if (Status closed = line_.close(); !closed)
        return closed;
    // The next connection starts in the address phase, not in the reply phase of the last.
    return line_.setParity(Parity::Mark);
}

Status SerialLink::send(Parity parity, const QByteArray &bytes)
{
    Status done = line_.setParity(parity);
    if (done) {
        line_.setRts(true);
        done = line_.write(bytes);
    }
    if (done)
        return {};
    const QString text = PortErrorText(port_, done.error());
    log_.message(text);
    return Fail(text);
}

Status SerialLink::sendAddress(quint8 address)
{
    if (Status sent = send(Parity::Mark, QByteArray(1, static_cast<char>(address))); !sent)
        return sent;
    log_.addressSent(address);
    return {};
}

Result<bool> SerialLink::onAddressPhaseBytes(const QByteArray &bytes, quint8 busAddress, const QByteArray &request)
{
    // Only the first byte is the echo; whatever else came with it is dropped.
    if (bytes.isEmpty() || static_cast<quint8>(bytes[0]) != busAddress)
        return false;
    if (Status sent = send(Parity::Space, request); !sent)
        return sent.failure();
    log_.requestSent(request);
    ++sendCount_;
    return true;
}

} // namespace ordan
