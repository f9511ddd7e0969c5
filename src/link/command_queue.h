#pragma once

#include <QByteArray>

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

    void append(QByteArray frame)
    {
        items_.push_back(std::move(frame));
        notify();
    }
    void removeHead()
    {
        if (items_.empty())
            return;
        items_.pop_front();
        notify();
    }
    void clear()
    {
        if (items_.empty())
            return;
        items_.clear();
        notify();
    }

private:
    void notify()
    {
        if (onChange_)
            onChange_();
    }

    std::deque<QByteArray> items_;
    std::function<void()> onChange_;
};

} // namespace ordan
