#pragma once

#include "core/virtual_timers.h"
#include "link/line.h"
#include "sim/meter_endpoint.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace ordan {

// The station's serial line wired to the simulated meter on virtual time. A write leaves at
// the chosen baud (11 bits a character, one write after the other); when its last byte is
// out the meter has it, with the parity in force at the write, and transmit-empty follows.
// What the meter answers arrives each emission in one piece, once its gap and its wire time
// have passed. The station never hears its own bytes.
class SimulatedLine final : public Line {
public:
    struct WireByte {
        quint8 value = 0;
        Parity parity = Parity::Mark;
        qint64 atMs = 0; // when the write was made
    };
    struct RtsChange {
        qint64 atMs = 0;
        bool on = false;
    };

    SimulatedLine(VirtualTimers &timers, MeterEndpoint &endpoint);
    ~SimulatedLine() override;
    SimulatedLine(const SimulatedLine &) = delete;
    SimulatedLine &operator=(const SimulatedLine &) = delete;

    Status open(const QString &port, int baud) override;
    Status close() override;
    bool isOpen() const override { return open_; }
    Status setParity(Parity parity) override
    {
        parity_ = parity;
        return {};
    }
    Parity parity() const override { return parity_; }
    void setRts(bool on) override;
    bool dsr() const override { return dsr_; }
    Status write(const QByteArray &bytes) override;
    QByteArray readAll() override;

    // Test controls.
    void setOpenFails(bool fails, const QString &text = QStringLiteral("port busy"));
    void setCloseFails(bool fails, const QString &text = QStringLiteral("close failed"));
    void setDsr(bool on) { dsr_ = on; }
    void injectBreak(qint64 afterMs = 0);
    // Bytes on the wire from elsewhere (noise, another device), delivered after afterMs.
    void injectBytes(const QByteArray &bytes, qint64 afterMs = 0);

    // Everything the station wrote, byte by byte with its parity, since construction.
    const std::vector<WireByte> &written() const { return written_; }
    QByteArray writtenBytes() const;
    // Everything delivered to the station since construction.
    const QByteArray &delivered() const { return delivered_; }
    bool rts() const { return rts_; }
    const std::vector<RtsChange> &rtsChanges() const { return rtsChanges_; }
    QString portName() const { return port_; }
    int baud() const { return baud_; }
    int transmitEmptyCount() const { return transmitEmptyCount_; }

private:
    void at(double timeMs, std::function<void()> action);
    void deliver(const QByteArray &bytes);
    void meterReceives(const QByteArray &bytes, Parity parity, double endMs);

    VirtualTimers &timers_;
    MeterEndpoint &endpoint_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    int session_ = 0;

    bool open_ = false;
    bool openFails_ = false;
    bool closeFails_ = false;
    QString openFailText_;
    QString closeFailText_;
    QString port_;
    int baud_ = 4800;
    Parity parity_ = Parity::Mark;
    bool rts_ = false;
    bool dsr_ = true;

    double txFreeAt_ = 0; // station to meter
    double rxFreeAt_ = 0; // meter to station
    int writesInFlight_ = 0;
    int transmitEmptyCount_ = 0;
    QByteArray received_;
    QByteArray delivered_;
    std::vector<WireByte> written_;
    std::vector<RtsChange> rtsChanges_;
};

} // namespace ordan
