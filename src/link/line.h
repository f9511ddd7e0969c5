#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QString>

namespace ordan {

enum class Parity { Mark, Space };

// A fault of the open line. Lost: the device went away (adapter pulled out, the far side of a
// pseudo-terminal closed); nothing more will pass until the port is opened again. Write: bytes
// written did not go out. Other: anything else the port reports (a read, framing or resource
// fault) that leaves the line usable.
enum class LineError { Lost, Write, Other };

// Events of the serial line, delivered on the main thread one at a time.
class LineListener {
public:
    virtual ~LineListener() = default;
    virtual void lineBytesReceived() = 0;
    virtual void lineTransmitEmpty() = 0;
    virtual void lineBreak() = 0;
    // `reason` is the system's text.
    virtual void lineError(LineError error, const QString &reason)
    {
        Q_UNUSED(error);
        Q_UNUSED(reason);
    }
};

// What the station needs of a serial port: 8 data bits, 1 stop bit, no flow control, DTR off,
// RTS on at open, and a parity bit switched between mark and space while the port is open.
// The parity of received bytes is never tested. SerialPortLine implements it on a real port,
// SimulatedLine connects it to the simulated meter in process.
class Line {
public:
    virtual ~Line() = default;

    // A failure says, in the system's words, why the port would not open (missing, busy) or close.
    virtual Status open(const QString &port, int baud) = 0;
    virtual Status close() = 0;
    virtual bool isOpen() const = 0;
    // When the last open was refused for lack of access rights: the group that owns the device,
    // whose members may open it. Empty otherwise, and where the system has no such groups.
    virtual QString accessGroup() const { return {}; }

    // Takes effect at once, before the next byte is written. A failure, in the system's words,
    // when the port refused the parity or did not keep it; the line's parity() is then the one
    // asked for all the same.
    virtual Status setParity(Parity parity) = 0;
    virtual Parity parity() const = 0;
    // Ports that cannot drive RTS (a pseudo-terminal) ignore it.
    virtual void setRts(bool on) = 0;
    virtual bool dsr() const = 0;

    // Queued for sending at once, in one piece; transmit-empty follows once it has left. A
    // failure, in the system's words, when the port would not take the bytes.
    virtual Status write(const QByteArray &bytes) = 0;
    // All bytes received so far, possibly none; never blocks.
    virtual QByteArray readAll() = 0;

    void setListener(LineListener *listener) { listener_ = listener; }

protected:
    void notifyBytesReceived()
    {
        if (listener_)
            listener_->lineBytesReceived();
    }
    void notifyTransmitEmpty()
    {
        if (listener_)
            listener_->lineTransmitEmpty();
    }
    void notifyBreak()
    {
        if (listener_)
            listener_->lineBreak();
    }
    void notifyError(LineError error, const QString &reason)
    {
        if (listener_)
            listener_->lineError(error, reason);
    }

private:
    LineListener *listener_ = nullptr;
};

// Wire time of n characters at a baud rate, 11 bits each (start, 8 data, parity, stop).
inline double WireTimeMs(qsizetype characters, int baud)
{
    return baud > 0 ? static_cast<double>(characters) * 11.0 * 1000.0 / baud : 0.0;
}

} // namespace ordan
