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
// The text as code page 932 gives it back: some characters come back as others (the wave
// dash U+301C as the full-width tilde U+FF5E, the yen sign as "\", the em dash as the
// horizontal bar...). A text with a character it cannot hold at all comes back unchanged.
QString storedForm(const QString& text);
}  // namespace cp932
