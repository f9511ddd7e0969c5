#include "link/serial_port_line.h"

#include <cmath>

namespace ordan {

SerialPortLine::SerialPortLine(QObject *parent) : QObject(parent)
{
    drainTimer_.setSingleShot(true);
    drainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&drainTimer_, &QTimer::timeout, this, [this] { notifyTransmitEmpty(); });
    connect(&port_, &QSerialPort::readyRead, this, [this] { notifyBytesReceived(); });
    connect(&port_, &QSerialPort::bytesWritten, this, &SerialPortLine::onBytesWritten);
}

SerialPortLine::~SerialPortLine()
{
    if (port_.isOpen())
        port_.close();
}

bool SerialPortLine::open(const QString &port, int baud)
{
    error_.clear();
    baud_ = baud;
    port_.setPortName(port);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setParity(QSerialPort::MarkParity);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        return false;
    }
    parity_ = Parity::Mark;
    pendingBytes_ = 0;
    bytesInBurst_ = 0;
    rtsSupported_ = true;
    port_.setDataTerminalReady(false);
    setRts(true);
    port_.clearError();
    return true;
}

bool SerialPortLine::close()
{
    drainTimer_.stop();
    if (port_.isOpen())
        port_.close();
    return true;
}

void SerialPortLine::setParity(Parity parity)
{
    parity_ = parity;
    if (port_.isOpen())
        port_.setParity(parity == Parity::Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity);
}

void SerialPortLine::setRts(bool on)
{
    if (!port_.isOpen() || !rtsSupported_)
        return;
    if (!port_.setRequestToSend(on)) {
        // A pseudo-terminal has no RTS; stop asking so the port's error state stays clean.
        rtsSupported_ = false;
        port_.clearError();
    }
}

bool SerialPortLine::dsr() const
{
    auto &port = const_cast<QSerialPort &>(port_);
    const bool asserted = port.pinoutSignals().testFlag(QSerialPort::DataSetReadySignal);
    port.clearError();
    return asserted;
}

bool SerialPortLine::write(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return false;
    if (pendingBytes_ == 0) {
        sinceWrite_.start();
        bytesInBurst_ = 0;
    }
    pendingBytes_ += bytes.size();
    bytesInBurst_ += bytes.size();
    drainTimer_.stop();
    return port_.write(bytes) == bytes.size();
}

void SerialPortLine::onBytesWritten(qint64 bytes)
{
    pendingBytes_ = qMax<qint64>(0, pendingBytes_ - bytes);
    if (pendingBytes_ > 0)
        return;
    // The system has the bytes; they are on the wire after their character time.
    const double owed = WireTimeMs(bytesInBurst_, baud_) - static_cast<double>(sinceWrite_.elapsed());
    drainTimer_.start(qMax(0, static_cast<int>(std::ceil(owed))));
}

} // namespace ordan
