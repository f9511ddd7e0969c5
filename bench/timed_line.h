#pragma once

#include "link/line.h"

#include <QElapsedTimer>

#include <vector>

namespace ordan::bench {

// A Line that passes everything to the real one and notes, per exchange, when its address
// byte went out and how many bytes went each way, so a run can be held against the wire.
class TimedLine final : public Line, private LineListener {
public:
    struct Exchange {
        qint64 addressNs = 0; // the address byte handed to the port
        qint64 echoNs = 0;    // first bytes received
        qint64 requestNs = 0; // the request handed to the port
        qint64 lastNs = 0;    // last bytes received
        int requestBytes = 0;
        int receivedBytes = 0; // echo and reply
        quint8 code = 0;
    };

    explicit TimedLine(Line &inner) : inner_(inner)
    {
        inner_.setListener(this);
        clock_.start();
    }
    ~TimedLine() override { inner_.setListener(nullptr); }

    Status open(const QString &port, int baud) override { return inner_.open(port, baud); }
    Status close() override { return inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    Status setParity(Parity parity) override { return inner_.setParity(parity); }
    Parity parity() const override { return inner_.parity(); }
    void setRts(bool on) override { inner_.setRts(on); }
    bool dsr() const override { return inner_.dsr(); }
    Status write(const QByteArray &bytes) override
    {
        if (inner_.parity() == Parity::Mark) {
            exchanges_.push_back({clock_.nsecsElapsed(), 0, 0, 0, 0, 0, 0});
        } else if (!exchanges_.empty()) {
            exchanges_.back().requestNs = clock_.nsecsElapsed();
            exchanges_.back().requestBytes += static_cast<int>(bytes.size());
            if (!bytes.isEmpty())
                exchanges_.back().code = static_cast<quint8>(bytes[0]);
        }
        return inner_.write(bytes);
    }
    QByteArray readAll() override
    {
        QByteArray bytes = inner_.readAll();
        if (!exchanges_.empty() && !bytes.isEmpty()) {
            Exchange &x = exchanges_.back();
            x.lastNs = clock_.nsecsElapsed();
            if (x.receivedBytes == 0)
                x.echoNs = x.lastNs;
            x.receivedBytes += static_cast<int>(bytes.size());
        }
        return bytes;
    }

    const std::vector<Exchange> &exchanges() const { return exchanges_; }

private:
    void lineBytesReceived() override { notifyBytesReceived(); }
    void lineTransmitEmpty() override { notifyTransmitEmpty(); }
    void lineBreak() override { notifyBreak(); }

    Line &inner_;
    QElapsedTimer clock_;
    std::vector<Exchange> exchanges_;
};

} // namespace ordan::bench
