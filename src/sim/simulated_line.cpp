#include "sim/simulated_line.h"

#include <cmath>

namespace ordan {

SimulatedLine::SimulatedLine(VirtualTimers &timers, MeterEndpoint &endpoint) : timers_(timers), endpoint_(endpoint) {}

SimulatedLine::~SimulatedLine() = default;

// Virtual time counts whole milliseconds; an event falls due at the first one not before it.
// Times are kept as fractions so that rounding never accumulates over many bytes.
void SimulatedLine::at(double timeMs, std::function<void()> action)
{
    const auto due = static_cast<qint64>(std::ceil(timeMs - 1e-9));
    std::weak_ptr<int> alive = alive_;
    const int session = session_;
    timers_.callAfter(due - timers_.now(), [this, alive, session, action = std::move(action)] {
        if (alive.expired() || session != session_ || !open_)
            return;
        action();
    });
}

Status SimulatedLine::open(const QString &port, int baud)
{
    if (openFails_ || open_)
        return Fail(open_ ? QStringLiteral("already open") : openFailText_);
    port_ = port;
    baud_ = baud;
    open_ = true;
    ++session_;
    parity_ = Parity::Mark;
    received_.clear();
    writesInFlight_ = 0;
    txFreeAt_ = rxFreeAt_ = static_cast<double>(timers_.now());
    setRts(true);
    return {};
}

Status SimulatedLine::close()
{
    if (closeFails_)
        return Fail(closeFailText_);
    if (open_)
        setRts(false);
    open_ = false;
    ++session_;
    received_.clear();
    return {};
}

void SimulatedLine::setOpenFails(bool fails, const QString &text)
{
    openFails_ = fails;
    openFailText_ = text;
}

void SimulatedLine::setCloseFails(bool fails, const QString &text)
{
    closeFails_ = fails;
    closeFailText_ = text;
}

void SimulatedLine::setRts(bool on)
{
    if (on == rts_)
        return;
    rts_ = on;
    rtsChanges_.push_back({timers_.now(), on});
}

Status SimulatedLine::write(const QByteArray &bytes)
{
    if (!open_)
        return Fail(QStringLiteral("port not open"));
    if (bytes.isEmpty())
        return {};
    const qint64 now = timers_.now();
    for (char c : bytes)
        written_.push_back({static_cast<quint8>(c), parity_, now});

    const double start = qMax(static_cast<double>(now), txFreeAt_);
    const double end = start + WireTimeMs(bytes.size(), baud_);
    txFreeAt_ = end;
    ++writesInFlight_;
    const Parity parity = parity_;
    at(end, [this, bytes, parity, end] {
        meterReceives(bytes, parity, end);
        if (--writesInFlight_ == 0) {
            ++transmitEmptyCount_;
            notifyTransmitEmpty();
        }
    });
    return {};
}

void SimulatedLine::meterReceives(const QByteArray &bytes, Parity parity, double endMs)
{
    const std::vector<Emission> emissions =
        endpoint_.receive(bytes, static_cast<qint64>(std::ceil(endMs - 1e-9)), parity);
    double t = endMs;
    for (const Emission &e : emissions) {
        const double start = qMax(t + static_cast<double>(e.gapMs), rxFreeAt_);
        const double end = start + WireTimeMs(e.bytes.size(), baud_);
        rxFreeAt_ = end;
        t = end;
        at(end, [this, bytes = e.bytes] { deliver(bytes); });
    }
}

void SimulatedLine::deliver(const QByteArray &bytes)
{
    received_.append(bytes);
    delivered_.append(bytes);
    notifyBytesReceived();
}

QByteArray SimulatedLine::readAll()
{
    QByteArray out;
    out.swap(received_);
    return out;
}

void SimulatedLine::injectBreak(qint64 afterMs)
{
    at(static_cast<double>(timers_.now() + afterMs), [this] { notifyBreak(); });
}

void SimulatedLine::injectBytes(const QByteArray &bytes, qint64 afterMs)
{
    const double start = qMax(static_cast<double>(timers_.now() + afterMs), rxFreeAt_);
    const double end = start + WireTimeMs(bytes.size(), baud_);
    rxFreeAt_ = end;
    at(end, [this, bytes] { deliver(bytes); });
}

QByteArray SimulatedLine::writtenBytes() const
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(written_.size()));
    for (const WireByte &b : written_)
        out.append(static_cast<char>(b.value));
    return out;
}

} // namespace ordan
