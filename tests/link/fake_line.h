#pragma once

#include "core/bytes.h"
#include "core/virtual_timers.h"
#include "link/frame.h"
#include "link/line.h"

#include <QByteArray>

#include <functional>
#include <optional>
#include <vector>

namespace ordan::test {

// A line whose far end is a few lines of test code: every write is recorded with its parity,
// and a responder may answer address bytes and requests after a delay on virtual time.
class FakeLine final : public Line {
public:
    struct Write {
        QByteArray bytes;
        Parity parity;
        qint64 at;
    };
    // What the far end sends back for a write, after `delayMs`.
    struct Answer {
        qint64 delayMs;
        QByteArray bytes;
    };
    using Responder = std::function<std::vector<Answer>(const QByteArray &bytes, Parity parity)>;

    explicit FakeLine(VirtualTimers &timers) : timers_(timers) {}

    Status open(const QString &port, int baud) override
    {
        if (failOpen)
            return Fail(QStringLiteral("no such port"));
        openPort = port;
        this->baud = baud;
        open_ = true;
        parity_ = Parity::Mark;
        return {};
    }
    Status close() override
    {
        if (failClose)
            return Fail(QStringLiteral("cannot close"));
        open_ = false;
        return {};
    }
    bool isOpen() const override { return open_; }
    Status setParity(Parity p) override
    {
        parity_ = p;
        if (refusedParity == p)
            return Fail(QStringLiteral("parity not supported"));
        return {};
    }
    Parity parity() const override { return parity_; }
    void setRts(bool on) override { rts = on; }
    bool dsr() const override { return dsrState; }
    Status write(const QByteArray &bytes) override
    {
        if (failWritesIn == parity_)
            return Fail(QStringLiteral("Input/output error"));
        writes.push_back({bytes, parity_, timers_.now()});
        timers_.callAfter(1, [this] { notifyTransmitEmpty(); });
        if (responder) {
            for (Answer &a : responder(bytes, parity_))
                timers_.callAfter(a.delayMs, [this, b = a.bytes] { deliver(b); });
        }
        return {};
    }
    QByteArray readAll() override
    {
        QByteArray out;
        out.swap(rx_);
        return out;
    }

    // Bytes arriving from the far end now.
    void deliver(const QByteArray &bytes)
    {
        if (!open_)
            return;
        rx_.append(bytes);
        notifyBytesReceived();
    }
    void deliverBreak() { notifyBreak(); }
    // The line reports a fault, as a real port does when its device goes away.
    void reportError(LineError error, const QString &reason) { notifyError(error, reason); }

    // Requests written in space parity, in order.
    std::vector<QByteArray> requests() const
    {
        std::vector<QByteArray> out;
        for (const Write &w : writes)
            if (w.parity == Parity::Space)
                out.push_back(w.bytes);
        return out;
    }
    std::vector<quint8> addressBytes() const
    {
        std::vector<quint8> out;
        for (const Write &w : writes)
            if (w.parity == Parity::Mark && w.bytes.size() == 1)
                out.push_back(static_cast<quint8>(w.bytes[0]));
        return out;
    }

    Responder responder;
    bool failOpen = false;
    bool failClose = false;
    // Writes in this parity fail; setting this parity fails (the port refuses stick parity).
    std::optional<Parity> failWritesIn;
    std::optional<Parity> refusedParity;
    bool dsrState = true;
    bool rts = false;
    QString openPort;
    int baud = 0;
    std::vector<Write> writes;

private:
    VirtualTimers &timers_;
    bool open_ = false;
    Parity parity_ = Parity::Mark;
    QByteArray rx_;
};

// A meter at one bus address that echoes its address and answers every request with a
// valid reply of `payloadFor(code)` (default: version 10.3 for code 0, factory number 0 for
// code 1, so that the meter counts as read, one zero byte else).
struct TinyMeter {
    int address = 0;
    qint64 turnaroundMs = 10;
    int major = 0x10;
    std::function<std::optional<QByteArray>(const QByteArray &request)> answer;
    int requestsSeen = 0;

    FakeLine::Responder responder()
    {
        return [this](const QByteArray &bytes, Parity parity) -> std::vector<FakeLine::Answer> {
            if (parity == Parity::Mark) {
                if (bytes.size() == 1 && static_cast<quint8>(bytes[0]) == address)
                    return {{turnaroundMs, bytes}};
                return {};
            }
            ++requestsSeen;
            std::optional<QByteArray> reply;
            if (answer)
                reply = answer(bytes);
            else
                reply = defaultReply(bytes);
            if (!reply)
                return {};
            return {{turnaroundMs, *reply}};
        };
    }

    QByteArray defaultReply(const QByteArray &request) const
    {
        const quint8 code = ByteAt(request, 0);
        if (code == 0x00)
            return AppendCrc(Bytes({0x00, 0x04, 0x03, major}));
        if (code == 0x01)
            return AppendCrc(Bytes({0x01, 0x05, 0x00, 0x00, 0x00}));
        return AppendCrc(Bytes({code, 0x03, 0x00}));
    }
};

} // namespace ordan::test
