#pragma once

#include "link/line.h"

#include <QByteArray>
#include <QString>

namespace ordan {

class ExchangeLog;

// The address handshake on the bus: the address byte goes out alone in mark parity, and
// when its echo comes back the request follows in space parity. RTS is raised for every
// transmission and dropped once the bytes have left.
class SerialLink {
public:
    SerialLink(Line &line, ExchangeLog &log) : line_(line), log_(log) {}

    Line &line() { return line_; }
    bool isOpen() const { return line_.isOpen(); }
    bool inAddressPhase() const { return line_.parity() == Parity::Mark; }

    Status open(const QString &port, int baud);
    Status close();

    // Starts an exchange. Sending errors are swallowed: the exchange then ends by time-out.
    void sendAddress(quint8 address);
    // Bytes of the address phase: on the echo of the bus address the request goes out.
    // Returns true when the request was sent.
    bool onAddressPhaseBytes(const QByteArray &bytes, quint8 busAddress, const QByteArray &request);
    void onTransmitEmpty() { line_.setRts(false); }

    qint32 sendCount() const { return sendCount_; }
    void resetSendCount() { sendCount_ = 0; }

private:
    Line &line_;
    ExchangeLog &log_;
    qint32 sendCount_ = 0;
};

} // namespace ordan
