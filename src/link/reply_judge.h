#pragma once

#include "link/protocol.h"

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

// The size tests of a valid reply's payload, against the catalogue's reply lengths of its
// code; a decoder makes them before it reads anything.
enum class ReplyForm { Full, Short };
// Whether the reply carries at least the bytes of that form (a short form the code does not
// have is never carried).
bool CarriesReply(QByteArrayView reply, FunctionCode code, ReplyForm form = ReplyForm::Full);
// Whether its length byte is exactly that of the form.
bool IsReplyForm(QByteArrayView reply, FunctionCode code, ReplyForm form = ReplyForm::Full);
// The log line of a reply too short for its decoder: its length and the least one decoded.
QString ShortReplyMessage(QByteArrayView reply, FunctionCode code);

} // namespace ordan
