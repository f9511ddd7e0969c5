#pragma once

#include <QString>

namespace ordan {

// A system error as Qt reports it (QFile::errorString() and the like), in the operator's
// language where Qt's own translations have the wording; Qt hands these texts over untranslated.
QString SystemErrorText(const QString &text);

} // namespace ordan
