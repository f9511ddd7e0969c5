#pragma once

#include "link/line.h"
#include "sim/meter_state.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ordan {

// Misbehaviour of the simulated meter on demand. Every field set applies together to each
// exchange in scope:
// - `exchanges`: how many more exchanges take the faults; -1 every exchange, 0 none (spent).
// - `onlyCode`: only exchanges whose request has this function code. The echo faults act on
//   the address byte, before any function code is known, so they ignore this filter.
// Echo faults (no echo, wrong echo) spend one exchange at the address byte. The other faults
// spend one at the reply; `errorCode` refuses the request without carrying it out, the rest
// damage a reply of a request that the meter did carry out (as if lost or garbled on the wire).
struct Faults {
    bool noEcho = false;
    bool wrongEcho = false;          // echoes the address plus one
    bool silence = false;            // no reply at all
    std::optional<quint8> errorCode; // an error reply with this code instead of the reply
    bool badCrc = false;             // last CRC byte inverted
    bool wrongCode = false;          // function code with bit 0 inverted, CRC made to match
    int extraBytes = 0;              // this many 0x00 bytes right after the frame, in one piece
    int chunkSize = 0;               // reply in pieces of this many bytes; 0 = one piece
    int chunkGapMs = 10;             // silence between the pieces
    int delayMs = 0;                 // added to the turnaround before the reply
    bool strayByte = false;          // one 0xFF byte after the reply
    int strayGapMs = 20;             // silence between the reply and the stray byte

    std::optional<quint8> onlyCode;
    int exchanges = -1;

    bool hasEchoFault() const { return noEcho || wrongEcho; }
    bool hasReplyFault() const;
    bool active() const { return exchanges != 0 && (hasEchoFault() || hasReplyFault()); }
};

// Reads one fault of the program's command line into `faults`: no-echo, wrong-echo, silence,
// error=N, bad-crc, wrong-code, extra=N, chunks=N, chunk-gap=MS, delay=MS, stray,
// stray-gap=MS. False when the text is none of them.
bool ParseFault(const QString &text, Faults &faults);

// What the meter puts on the wire: `bytes` after `gapMs` of silence, counted from the end of
// the input that caused them, or from the end of the previous emission of the same answer.
struct Emission {
    qint64 gapMs = 0;
    QByteArray bytes;
};

// The meter's side of the bus, byte by byte. Idle, a byte is an address byte: the meter's
// own address is echoed and a frame collected (its length from byte 1), answered, and the
// endpoint goes idle again; bytes after another address are ignored. A silence of more than
// kFrameGapMs between bytes, or a frame longer than kMaxFrame, ends a frame or the ignoring.
// Where the parity of the bytes is known (in process), a mark-parity byte is always an
// address byte and a space-parity byte never is.
class MeterEndpoint {
public:
    static constexpr qint64 kFrameGapMs = 100;
    static constexpr int kMaxFrame = 64;

    enum class Phase { Idle, Frame, Ignoring };

    explicit MeterEndpoint(SimulatedMeter &meter);

    // Bytes that finished arriving at atMs (non-decreasing from call to call).
    std::vector<Emission> receive(QByteArrayView bytes, qint64 atMs, std::optional<Parity> parity = std::nullopt);

    void setTurnaroundMs(qint64 ms) { turnaroundMs_ = ms; }
    qint64 turnaroundMs() const { return turnaroundMs_; }
    void setFaults(const Faults &faults) { faults_ = faults; }
    const Faults &faults() const { return faults_; }
    // Asked for the faults of each exchange as its address byte arrives; replaces the set ones.
    void setFaultSource(std::function<Faults()> source) { faultSource_ = std::move(source); }

    Phase phase() const { return phase_; }
    SimulatedMeter &meter() { return meter_; }
    // Every complete request frame received, in order.
    const std::vector<QByteArray> &requests() const { return requests_; }

private:
    void address(quint8 byte, std::vector<Emission> &out);
    void answer(std::vector<Emission> &out);
    void spendFault();

    SimulatedMeter &meter_;
    Faults faults_;
    std::function<Faults()> faultSource_;
    qint64 turnaroundMs_ = 5;
    Phase phase_ = Phase::Idle;
    QByteArray frame_;
    std::optional<qint64> lastInputMs_;
    bool faultedExchange_ = false;
    std::vector<QByteArray> requests_;
};

} // namespace ordan
