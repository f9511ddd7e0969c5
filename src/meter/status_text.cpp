#include "meter/status_text.h"

#include "core/bytes.h"
#include "link/reply_judge.h"
#include "meter/meter_text.h"

namespace ordan {

namespace {

const QString &ViolationLine()
{
    static const QString line = QStringLiteral("Фиксация нарушения режима потребления.");
    return line;
}

QString PhaseLine(int phase, const QString &text)
{
    return QStringLiteral("Фаза ") + QLatin1Char(static_cast<char>('A' + phase)) + text;
}

} // namespace

QStringList FullStatusLines(quint32 word)
{
    if (word == 0xFFFF)
        return {QStringLiteral("Выключение счетчика")};
    static const QString phaseTexts[8] = {
        {},
        QStringLiteral(" : номер ДДМ не установлен."),
        QStringLiteral(" : нет связи с ДДМ."),
        QStringLiteral(" : связь с ДДМ восстановлена."),
        QStringLiteral(" : разбаланс ДДМ > ББ."),
        QStringLiteral(" : хищение ДДМ > ББ."),
        QStringLiteral(" : разбаланс ДДМ < ББ."),
        QStringLiteral(" : отсутствует."),
    };
    QStringList lines;
    if (word & (1u << 11))
        lines << ViolationLine();
    for (int phase = 0; phase < 3; ++phase) {
        const quint32 code = (word >> (3 * phase)) & 7u;
        if (code != 0)
            lines << PhaseLine(phase, phaseTexts[code]);
    }
    if (word & (1u << 10))
        lines << QStringLiteral("Дата и время таймера не установлены.");
    if (word & (1u << 9))
        lines << QStringLiteral("Неисправность таймера календаря.");
    return lines;
}

QStringList RadioStatusLines(quint32 status)
{
    static const QString phaseTexts[4] = {
        {},
        QStringLiteral(" : нет связи с ДДМ ") + QStringLiteral("(или ДДМ не установлен)."),
        QStringLiteral(" : разбаланс каналов."),
        QStringLiteral(" : отсутствует."),
    };
    QStringList lines;
    if (status & 0x80u)
        lines << ViolationLine();
    for (int phase = 0; phase < 3; ++phase) {
        const quint32 code = (status >> (2 * phase)) & 3u;
        if (code != 0)
            lines << PhaseLine(phase, phaseTexts[code]);
    }
    if (status & 0x40u)
        lines << QStringLiteral("Нет учёта времени.");
    return lines;
}

quint32 StatusDialogValue(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < 0)
        return 0;
    return v > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<quint32>(v);
}

bool DecodeFullStatus(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadStatus))
        return false;
    const auto word = static_cast<qint32>(LittleEndian(reply, 2, 2));
    if (word == p.StatusWord)
        return true;
    p.StatusWord = word;
    if (p.RadioTStatus.value())
        p.Memo1.set(FullStatusLines(static_cast<quint32>(word)));
    return true;
}

bool DecodeRadioStatus(QByteArrayView reply, MeterParameters &p)
{
    if (!CarriesReply(reply, FunctionCode::ReadRadioStatus))
        return false;
    const qint32 status = ByteAt(reply, 2);
    if (status == p.RadioStatus)
        return true;
    p.RadioStatus = status;
    if (p.RadioRStatus.value())
        p.Memo1.set(RadioStatusLines(static_cast<quint32>(status)));
    return true;
}

} // namespace ordan
