#pragma once

#include <QByteArray>
#include <QString>

namespace ordan {

enum class Parity { Mark, Space };

// Events of the serial line, delivered on the main thread one at a time.
class LineListener {
public:
    virtual ~LineListener() = default;
    virtual void lineBytesReceived() = 0;
    virtual void lineTransmitEmpty() = 0;
    virtual void lineBreak() = 0;
};

// What the station needs of a serial port: 8 data bits, 1 stop bit, no flow control, DTR off,
// RTS on at open, and a parity bit switched between mark and space while the port is open.
// The parity of received bytes is never tested. SerialPortLine implements it on a real port,
// SimulatedLine connects it to the simulated meter in process.
class Line {
public:
    virtual ~Line() = default;

    // False with errorText() set when the port is missing or busy.
    virtual bool open(const QString &port, int baud) = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString errorText() const = 0;

    // Takes effect at once, before the next byte is written.
    virtual void setParity(Parity parity) = 0;
    virtual Parity parity() const = 0;
    // Ports that cannot drive RTS (a pseudo-terminal) ignore it.
    virtual void setRts(bool on) = 0;
    virtual bool dsr() const = 0;

    // Queued for sending at once, in one piece; transmit-empty follows once it has left.
    virtual bool write(const QByteArray &bytes) = 0;
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

private:
    LineListener *listener_ = nullptr;
};

// Wire time of n characters at a baud rate, 11 bits each (start, 8 data, parity, stop).
inline double WireTimeMs(qsizetype characters, int baud)
{
    return baud > 0 ? static_cast<double>(characters) * 11.0 * 1000.0 / baud : 0.0;
}

} // namespace ordan
