#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace ordan {

// When written bytes have left the wire, not the driver: a port tells when the system has
// taken the bytes, and the wire time still owed at the port's speed is waited out after that.
// Bytes queued while others are under way join their burst.
class WireDrain final : public QObject {
public:
    explicit WireDrain(std::function<void()> drained, QObject *parent = nullptr);

    void setBaud(int baud) { baud_ = baud; }
    // Before the bytes go to the system.
    void queued(qint64 bytes);
    // The system has taken `bytes` of them.
    void handedOver(qint64 bytes);
    // The port closed: nothing is owed any more.
    void reset();

private:
    std::function<void()> drained_;
    QTimer timer_;
    QElapsedTimer sinceWrite_;
    int baud_ = 4800;
    qint64 pendingBytes_ = 0;
    qint64 bytesInBurst_ = 0;
};

} // namespace ordan
