#pragma once

#include "link/line.h"

#include <QByteArray>
#include <QString>

namespace ordan {

class ExchangeLog;

// A port error as the exchange log and status panel 1 show it: the port and the system's reason.
QString PortErrorText(const QString &port, const QString &reason);
// The port at connect does not switch to mark or space parity: what is wrong and what to do.
QString StickParityRefusedText(const QString &port, const QString &reason);

// The address handshake on the bus: the address byte goes out alone in mark parity, and
// when its echo comes back the request follows in space parity. RTS is raised for every
// transmission and dropped once the bytes have left. Every failure of the line is written to
// the exchange log here and handed back with the same text.
class SerialLink {
public:
    SerialLink(Line &line, ExchangeLog &log) : line_(line), log_(log) {}

    Line &line() { return line_; }
    bool isOpen() const { return line_.isOpen(); }
    bool inAddressPhase() const { return line_.parity() == Parity::Mark; }
    // The port of the last open.
    const QString &port() const { return port_; }

    // Opening checks that the port takes both parities: a driver that drops them would leave
    // every exchange silent. Such a port is closed again.
    Status open(const QString &port, int baud);
    Status close();

    // Starts an exchange; a failure when the line refused the parity or the byte.
    Status sendAddress(quint8 address);
    // Bytes of the address phase: on the echo of the bus address the request goes out.
    // True when the request was sent, false when the bytes were no echo; a failure when the
    // line refused the request.
    Result<bool> onAddressPhaseBytes(const QByteArray &bytes, quint8 busAddress, const QByteArray &request);
    void onTransmitEmpty() { line_.setRts(false); }

    qint32 sendCount() const { return sendCount_; }
    void resetSendCount() { sendCount_ = 0; }

private:
    Status send(Parity parity, const QByteArray &bytes);
    Status checkStickParity();

    Line &line_;
    ExchangeLog &log_;
    QString port_;
    qint32 sendCount_ = 0;
};

} // namespace ordan
