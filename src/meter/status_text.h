#pragma once

#include "meter/meter_parameters.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace ordan {

// The full status word (code 6) as lines of text. Values above 16 bits decode bits 0..11
// only and are never "meter switched off".
QStringList FullStatusLines(quint32 word);
// The radio status byte (code 12) as lines of text; bits above 7 are ignored.
QStringList RadioStatusLines(quint32 status);

// A number typed into the status dialog: unreadable or negative text counts as 0.
quint32 StatusDialogValue(const QString &text);

// Code 6 and code 12: the kept value follows the meter; the memo is rewritten only when the
// selected kind of status has changed.
bool DecodeFullStatus(QByteArrayView reply, MeterParameters &p);
bool DecodeRadioStatus(QByteArrayView reply, MeterParameters &p);

} // namespace ordan
