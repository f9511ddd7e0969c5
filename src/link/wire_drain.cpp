#include "link/wire_drain.h"

#include "link/line.h"

#include <cmath>
#include <utility>

namespace ordan {

WireDrain::WireDrain(std::function<void()> drained, QObject *parent) : QObject(parent), drained_(std::move(drained))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { drained_(); });
}

void WireDrain::queued(qint64 bytes)
{
    if (pendingBytes_ == 0) {
        sinceWrite_.start();
        bytesInBurst_ = 0;
    }
    pendingBytes_ += bytes;
    bytesInBurst_ += bytes;
    timer_.stop();
}

void WireDrain::handedOver(qint64 bytes)
{
    pendingBytes_ = qMax<qint64>(0, pendingBytes_ - bytes);
    if (pendingBytes_ > 0)
        return;
    const double owed = WireTimeMs(bytesInBurst_, baud_) - static_cast<double>(sinceWrite_.elapsed());
    timer_.start(qMax(0, static_cast<int>(std::ceil(owed))));
}

void WireDrain::reset()
{
    timer_.stop();
    pendingBytes_ = 0;
    bytesInBurst_ = 0;
}

} // namespace ordan
