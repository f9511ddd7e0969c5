#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace ordan {

// The Russian single-byte code pages of old tables and help files, by table: Qt built without
// ICU (as for Windows) has no converter for them, and a table read as Latin-1 there would lose
// every Russian text.
enum class Codepage { Windows1251, Ibm866 };

// The code page by its usual name ("windows-1251", "cp1251", "IBM866", "cp866"), any case.
std::optional<Codepage> CodepageNamed(QByteArrayView name);

QChar DecodeByte(Codepage page, quint8 byte);
QString Decode(Codepage page, QByteArrayView bytes);

// A character the code page has no byte for becomes '?'.
QByteArray Encode(Codepage page, QStringView text);

} // namespace ordan
