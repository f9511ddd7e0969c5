#pragma once

#include "sim/meter_endpoint.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <optional>

class QSocketNotifier;

namespace ordan {

// Serves the simulated meter on a pseudo-terminal in raw mode. The station opens the slave
// device; what it writes reaches the meter endpoint, what the meter emits is written back.
// A pseudo-terminal carries no parity bit, so the endpoint tells address bytes from frames
// by its own state and by silences.
//
// With a baud rate, both directions keep the pace of a real wire (11 bits a character): a
// byte the station writes counts as arrived one character time after the previous one, and
// each byte of the meter is written when its character time has passed. Due times are
// taken from one monotonic clock, so timer lateness never adds up.
class PtyServer final : public QObject {
    Q_OBJECT
public:
    PtyServer(MeterEndpoint &endpoint, int baud, QObject *parent = nullptr);
    ~PtyServer() override;

    // Creates the pseudo-terminal; false with *error set when that fails.
    bool start(QString *error);
    QString slavePath() const { return slavePath_; }
    // Milliseconds of the server's monotonic clock, the time source of the meter too.
    qint64 nowMs() const { return clock_.elapsed(); }

private:
    void onReadable();
    void pump();
    void schedulePump();
    double characterMs() const;

    MeterEndpoint &endpoint_;
    int baud_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QSocketNotifier *notifier_ = nullptr;
    QTimer pumpTimer_;
    QElapsedTimer clock_;
    double inFreeAt_ = 0;
    double outFreeAt_ = 0;
    struct Pending {
        double dueMs;
        char byte;
    };
    std::deque<Pending> out_;
};

// SIGTERM and SIGINT make the running application quit its event loop cleanly.
void QuitOnTerminationSignals();

} // namespace ordan
