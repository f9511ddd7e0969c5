#include "sim/meter_endpoint.h"

#include "core/bytes.h"
#include "link/frame.h"

namespace ordan {

bool Faults::hasReplyFault() const
{
    return silence || errorCode || badCrc || wrongCode || extraBytes > 0 || chunkSize > 0 || delayMs > 0 || strayByte;
}

bool ParseFault(const QString &text, Faults &faults)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    const QString name = eq < 0 ? text : text.left(eq);
    const QString value = eq < 0 ? QString() : text.mid(eq + 1);
    bool ok = false;
    const int number = value.toInt(&ok, 0);

    if (eq < 0) {
        if (name == u"no-echo")
            faults.noEcho = true;
        else if (name == u"wrong-echo")
            faults.wrongEcho = true;
        else if (name == u"silence")
            faults.silence = true;
        else if (name == u"bad-crc")
            faults.badCrc = true;
        else if (name == u"wrong-code")
            faults.wrongCode = true;
        else if (name == u"stray")
            faults.strayByte = true;
        else
            return false;
        return true;
    }
    if (!ok || number < 0)
        return false;
    if (name == u"error" && number <= 255)
        faults.errorCode = static_cast<quint8>(number);
    else if (name == u"extra")
        faults.extraBytes = number;
    else if (name == u"chunks" && number > 0)
        faults.chunkSize = number;
    else if (name == u"chunk-gap")
        faults.chunkGapMs = number;
    else if (name == u"delay")
        faults.delayMs = number;
    else if (name == u"stray-gap") {
        faults.strayByte = true;
        faults.strayGapMs = number;
    } else
        return false;
    return true;
}

MeterEndpoint::MeterEndpoint(SimulatedMeter &meter) : meter_(meter) {}

std::vector<Emission> MeterEndpoint::receive(QByteArrayView bytes, qint64 atMs, std::optional<Parity> parity)
{
    std::vector<Emission> out;
    if (bytes.isEmpty())
        return out;
    if (lastInputMs_ && atMs - *lastInputMs_ > kFrameGapMs) {
        phase_ = Phase::Idle;
        frame_.clear();
    }
    lastInputMs_ = atMs;

    // The flag first: GCC compares the payload of an empty optional before its flag, which
    // memcheck reports as a jump on an uninitialised value.
    const bool mark = parity.has_value() && *parity == Parity::Mark;
    const bool space = parity.has_value() && *parity == Parity::Space;
    for (char c : bytes) {
        const auto b = static_cast<quint8>(c);
        if (mark) {
            frame_.clear();
            address(b, out);
            continue;
        }
        switch (phase_) {
        case Phase::Idle:
            if (!space)
                address(b, out);
            break;
        case Phase::Frame:
            frame_.append(c);
            if (frame_.size() >= 2) {
                const int need = ByteAt(frame_, 1) + 2;
                if (need > kMaxFrame) {
                    frame_.clear();
                    phase_ = Phase::Ignoring;
                } else if (frame_.size() == need) {
                    answer(out);
                }
            }
            break;
        case Phase::Ignoring: break;
        }
    }
    return out;
}

void MeterEndpoint::spendFault()
{
    if (faults_.exchanges > 0)
        --faults_.exchanges;
}

void MeterEndpoint::address(quint8 byte, std::vector<Emission> &out)
{
    if (byte != meter_.state().busAddress) {
        phase_ = Phase::Ignoring;
        return;
    }
    phase_ = Phase::Frame;
    if (faultSource_)
        faults_ = faultSource_();
    faultedExchange_ = faults_.active() && faults_.hasEchoFault();
    if (faultedExchange_)
        spendFault();
    if (faultedExchange_ && faults_.noEcho)
        return;
    const quint8 echo = faultedExchange_ && faults_.wrongEcho ? static_cast<quint8>(byte + 1) : byte;
    out.push_back({turnaroundMs_, QByteArray(1, static_cast<char>(echo))});
}

void MeterEndpoint::answer(std::vector<Emission> &out)
{
    const QByteArray request = frame_;
    frame_.clear();
    phase_ = Phase::Idle;
    requests_.push_back(request);

    const quint8 code = ByteAt(request, 0);
    bool faulty = faultedExchange_;
    faultedExchange_ = false;
    if (!faulty && faults_.active() && faults_.hasReplyFault() && (!faults_.onlyCode || *faults_.onlyCode == code)) {
        faulty = true;
        spendFault();
    }

    std::optional<QByteArray> reply;
    if (faulty && faults_.errorCode)
        reply = MeterErrorReply(code, *faults_.errorCode);
    else
        reply = meter_.Answer(request);
    if (!reply || (faulty && faults_.silence))
        return;

    QByteArray bytes = *reply;
    if (faulty && faults_.wrongCode && bytes.size() >= 2) {
        bytes[0] = static_cast<char>(ByteAt(bytes, 0) ^ 0x01);
        bytes = AppendCrc(bytes.left(bytes.size() - 2));
    }
    if (faulty && faults_.badCrc && !bytes.isEmpty())
        bytes[bytes.size() - 1] = static_cast<char>(ByteAt(bytes, bytes.size() - 1) ^ 0xFF);
    if (faulty && faults_.extraBytes > 0)
        bytes.append(QByteArray(faults_.extraBytes, '\0'));

    qint64 gap = turnaroundMs_ + (faulty ? faults_.delayMs : 0);
    const qsizetype piece = faulty && faults_.chunkSize > 0 ? faults_.chunkSize : bytes.size();
    for (qsizetype i = 0; i < bytes.size(); i += piece) {
        out.push_back({gap, bytes.mid(i, piece)});
        gap = faults_.chunkGapMs;
    }
    if (faulty && faults_.strayByte)
        out.push_back({faults_.strayGapMs, QByteArray(1, '\xFF')});
}

} // namespace ordan
