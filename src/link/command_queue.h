#pragma once

#include <QByteArray>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>

namespace ordan {

// The queue of request frames (CRC included). Every change runs the change notification at
// once, before the changing call returns; the notification may change the queue again, so
// notifications nest. Emptying an empty queue is no change.
class CommandQueue {
public:
    void setChangeNotification(std::function<void()> onChange) { onChange_ = std::move(onChange); }

    bool isEmpty() const { return items_.empty(); }
    qsizetype size() const { return static_cast<qsizetype>(items_.size()); }
    const QByteArray &head() const { return items_.front(); }
    const QByteArray &at(qsizetype i) const { return items_[static_cast<size_t>(i)]; }
    // Frames queued with this function code; kept as the queue changes, so asking is cheap.
    qsizetype count(quint8 code) const { return counts_[code]; }

    void append(QByteArray frame)
    {
        ++counts_[CodeOf(frame)];
        items_.push_back(std::move(frame));
        notify();
    }
    void removeHead()
    {
        if (items_.empty())
            return;
        --counts_[CodeOf(items_.front())];
        items_.pop_front();
        notify();
    }
    void clear()
    {
        if (items_.empty())
            return;
        items_.clear();
        counts_.fill(0);
        notify();
    }
    // Removes the frames of this code that stand behind the first `keep` items, as one change.
    void removeCode(quint8 code, qsizetype keep)
    {
        if (keep < 0 || keep >= size() || counts_[code] == 0)
            return;
        const auto from = items_.begin() + static_cast<std::ptrdiff_t>(keep);
        const auto end = std::remove_if(from, items_.end(), [code](const QByteArray &f) { return CodeOf(f) == code; });
        if (end == items_.end())
            return;
        counts_[code] -= static_cast<qsizetype>(items_.end() - end);
        items_.erase(end, items_.end());
        notify();
    }

private:
    static quint8 CodeOf(const QByteArray &frame)
    {
        return frame.isEmpty() ? quint8(0) : static_cast<quint8>(frame.front());
    }

    void notify()
    {
        if (onChange_)
            onChange_();
    }

    std::deque<QByteArray> items_;
    std::array<qsizetype, 256> counts_{};
    std::function<void()> onChange_;
};

} // namespace ordan
