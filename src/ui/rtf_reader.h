#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QString>

namespace ordan {

// Turns a rich-text (RTF) document into HTML that a QTextEdit shows: paragraphs, line
// breaks, tabs, bold, italic, underline and font sizes; Unicode escapes and 8-bit escapes
// in the Windows Cyrillic code page. Tables, pictures and other destinations are skipped.
// Fails with "не является документом RTF" when the bytes are not an RTF document.
Result<QString> RtfToHtml(const QByteArray &rtf);

} // namespace ordan
