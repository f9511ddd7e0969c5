#pragma once

#include "records/production_db.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace ordan {

class MeterParameters;

// A number shown to the operator and read back (drift, readings): the locale's decimal
// separator, exponent form allowed; nothing when the text is not a number.
std::optional<double> ShownDecimal(const QString &text, const QLocale &locale = QLocale());

// The settings row of a programming, from the controls of the pages "Установка" and
// "Показания". Without `withSettings` only what was read from the meter and the drift.
OperationRecord OperationRecordFromControls(const MeterParameters &p, bool withSettings,
                                            const QLocale &locale = QLocale());

// The text of the box that stops the program when identification finds nothing
// (caption "Приложение остановлено"); empty for Missing::None.
QString IdentificationStopText(Identification::Missing missing, const QString &computerName, const QString &login);

} // namespace ordan
