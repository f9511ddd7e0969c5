#include "link/reply_judge.h"

#include "core/bytes.h"
#include "link/catalogue.h"
#include "link/frame.h"

namespace ordan {

QString ErrorReplyMessage(quint8 errorCode)
{
    switch (static_cast<MeterError>(errorCode)) {
    case MeterError::UnknownFunction: return QStringLiteral("Ошибка: Неизвестная функция");
    case MeterError::WrongLength: return QStringLiteral("Ошибка: Неверная длина запроса");
    case MeterError::WrongCrc: return QStringLiteral("Ошибка: Неверная контрольная сумма");
    case MeterError::WrongData: return QStringLiteral("Ошибка: Неверные данные запроса");
    case MeterError::MemoryProtected: return QStringLiteral("Ошибка: Память защищена");
    case MeterError::AccessDenied: return QStringLiteral("Ошибка: Доступ запрещен");
    }
    return QStringLiteral("Неизвестная ошибка");
}

bool IsCompleteReply(QByteArrayView reply)
{
    return reply.size() >= kCrcSize && reply.size() >= ByteAt(reply, 1) + kCrcSize;
}

Judgement JudgeReply(QByteArrayView reply, QByteArrayView request)
{
    if (reply.size() == kErrorReplyLength + kCrcSize &&
        static_cast<quint8>(ByteAt(reply, 0) - ByteAt(request, 0)) == kErrorReplyFlag &&
        ByteAt(reply, 1) == kErrorReplyLength && CheckReplyCrc(reply)) {
        const quint8 code = ByteAt(reply, 2);
        return {Verdict::ErrorReply, code, ErrorReplyMessage(code)};
    }
    if (!IsCompleteReply(reply))
        return {};
    if (ByteAt(reply, 0) != ByteAt(request, 0) || request.isEmpty())
        return {Verdict::Wrong, 0, QStringLiteral("Неверный отклик")};
    if (reply.size() > ByteAt(reply, 1) + kCrcSize)
        return {Verdict::TooLong, 0, QStringLiteral("Отклик длиннее требуемого")};
    if (!CheckReplyCrc(reply))
        return {Verdict::BadCrc, 0, QStringLiteral("Ошибка контрольной суммы")};
    return {Verdict::Valid, 0, {}};
}

namespace {

quint8 FormLength(FunctionCode code, ReplyForm form)
{
    const CommandInfo &info = CommandOf(code);
    return form == ReplyForm::Full ? info.replyLength : info.shortReplyLength;
}

// The payload end a reply really has: its length byte, never past its last byte.
qsizetype CarriedLength(QByteArrayView reply)
{
    return reply.size() < kCrcSize ? 0 : qMin<qsizetype>(ByteAt(reply, 1), reply.size());
}

} // namespace

bool CarriesReply(QByteArrayView reply, FunctionCode code, ReplyForm form)
{
    const quint8 length = FormLength(code, form);
    return length != 0 && CarriedLength(reply) >= length;
}

bool IsReplyForm(QByteArrayView reply, FunctionCode code, ReplyForm form)
{
    const quint8 length = FormLength(code, form);
    return length != 0 && reply.size() >= kCrcSize && ByteAt(reply, 1) == length;
}

QString ShortReplyMessage(QByteArrayView reply, FunctionCode code)
{
    const CommandInfo &info = CommandOf(code);
    const quint8 least = info.shortReplyLength != 0 ? info.shortReplyLength : info.replyLength;
    return QStringLiteral("Отклик короче требуемого: длина %1 вместо %2").arg(ByteAt(reply, 1)).arg(least);
}

} // namespace ordan
