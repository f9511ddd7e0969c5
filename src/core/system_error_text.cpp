#include "core/system_error_text.h"

#include <QCoreApplication>

namespace ordan {

QString SystemErrorText(const QString &text)
{
    // The file errors Qt words itself are catalogued under "QIODevice"; any other text (the C
    // library's own wording) stays as it is.
    const QByteArray source = text.toUtf8();
    return QCoreApplication::translate("QIODevice", source.constData());
}

} // namespace ordan
