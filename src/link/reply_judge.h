#pragma once

#include <QByteArrayView>
#include <QString>

namespace ordan {

// The frame tests a reply passes, made on all bytes received so far against the request on
// the wire, in this order: error reply, completeness, function code, length, CRC.
enum class Verdict { Incomplete, Valid, ErrorReply, Wrong, TooLong, BadCrc };

struct Judgement {
    Verdict verdict = Verdict::Incomplete;
    quint8 errorCode = 0;
    QString message; // empty for Incomplete and Valid
};

Judgement JudgeReply(QByteArrayView reply, QByteArrayView request);

// A reply is complete with at least two bytes and at least L + 2 of them.
bool IsCompleteReply(QByteArrayView reply);

QString ErrorReplyMessage(quint8 errorCode);

} // namespace ordan
