#include "link/reply_judge.h"

#include "core/bytes.h"
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

bool IsCompleteReply(QByteArrayView reply) { return reply.size() >= 2 && reply.size() >= ByteAt(reply, 1) + 2; }

Judgement JudgeReply(QByteArrayView reply, QByteArrayView request)
{
    if (reply.size() == 5 && static_cast<quint8>(ByteAt(reply, 0) - ByteAt(request, 0)) == kErrorReplyFlag &&
        ByteAt(reply, 1) == 3 && CheckReplyCrc(reply)) {
        const quint8 code = ByteAt(reply, 2);
        return {Verdict::ErrorReply, code, ErrorReplyMessage(code)};
    }
    if (!IsCompleteReply(reply))
        return {};
    if (ByteAt(reply, 0) != ByteAt(request, 0) || request.isEmpty())
        return {Verdict::Wrong, 0, QStringLiteral("Неверный отклик")};
    if (reply.size() > ByteAt(reply, 1) + 2)
        return {Verdict::TooLong, 0, QStringLiteral("Отклик длиннее требуемого")};
    if (!CheckReplyCrc(reply))
        return {Verdict::BadCrc, 0, QStringLiteral("Ошибка контрольной суммы")};
    return {Verdict::Valid, 0, {}};
}

} // namespace ordan
