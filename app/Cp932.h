#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Code page 932 (Shift-JIS) text, the encoding of Kennel.ini and BackUp.ini.
namespace cp932 {
// The bytes of text, or nothing when a character has no code page 932 form.
std::optional<QByteArray> encode(const QString& text);
// Decodes bytes; a sequence that is not code page 932 becomes U+FFFD.
QString decode(const QByteArray& bytes);
// True when the text can be written to a line of Kennel.ini unchanged.
bool storableInLine(const QString& text);
}  // namespace cp932
