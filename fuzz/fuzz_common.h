#pragma once

// Shared bits of the fuzz targets: a quiet Qt, a Core application for the code that wants
// one, and a reader over the fuzzer's bytes that never runs past their end.

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace ordan::fuzz {

// Warnings of the code under test (a damaged table, an odd reply) are expected here by the
// million; a fatal message still ends the run as a finding.
inline void QuietMessages(QtMsgType type, const QMessageLogContext &, const QString &)
{
    if (type == QtFatalMsg)
        std::abort();
}

inline void InitQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    qInstallMessageHandler(QuietMessages);
    static QCoreApplication app(argc, argv);
}

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    size_t remaining() const { return size_ - pos_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    quint16 word()
    {
        const quint16 lo = byte();
        return static_cast<quint16>(lo | (byte() << 8));
    }
    // Up to n bytes, fewer at the end of the input.
    QByteArray bytes(size_t n)
    {
        const size_t take = n < remaining() ? n : remaining();
        QByteArray out(reinterpret_cast<const char *>(data_ + pos_), static_cast<qsizetype>(take));
        pos_ += take;
        return out;
    }
    QByteArray rest() { return bytes(remaining()); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

} // namespace ordan::fuzz
