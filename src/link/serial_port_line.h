#pragma once

#include "link/line.h"
#include "link/wire_drain.h"

#include <QObject>
#include <QSerialPort>

namespace ordan {

// The Line on a real serial port through Qt. Transmit-empty is reported once the bytes have
// left the wire (WireDrain). Ports that cannot drive RTS or read DSR (a
// pseudo-terminal) are tolerated. Qt does not report a received break on its platforms.
// A device that goes away under the open port is reported once as a lost line. A parity the
// port does not keep is a failure: on Linux the settings are read back, since a driver may
// drop mark/space without a word.
class SerialPortLine final : public QObject, public Line {
    Q_OBJECT
public:
    explicit SerialPortLine(QObject *parent = nullptr);
    ~SerialPortLine() override;

    Status open(const QString &port, int baud) override;
    Status close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QString accessGroup() const override { return accessGroup_; }
    Status setParity(Parity parity) override;
    Parity parity() const override { return parity_; }
    void setRts(bool on) override;
    bool dsr() const override;
    Status write(const QByteArray &bytes) override;
    QByteArray readAll() override { return port_.readAll(); }

private:
    void closePort();
    void onError(QSerialPort::SerialPortError error, const QString &reason);
    void explainOpenFailure();
    bool hungUp() const;
    Status parityKept(Parity parity) const;
    QString portErrorText();

    QSerialPort port_;
    WireDrain drain_;
    Parity parity_ = Parity::Mark;
    bool rtsSupported_ = true;
    bool pseudoTerminal_ = false;
    mutable bool inOwnCall_ = false;
    QString error_;
    QString accessGroup_;
};

} // namespace ordan
