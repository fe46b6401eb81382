#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Reading of the small code page 932 key files (Kennel.ini, BackUp.ini): a key matches a line
// when it occurs anywhere in it, letter case aside, and the first such line gives the value.
namespace keyedlines {
// The decoded lines; CR LF ends a line, and so do a lone CR or LF (files edited elsewhere).
QStringList decode(const QByteArray& bytes);
// The text after the key's first occurrence in the first line that holds the key.
std::optional<QString> findValue(const QStringList& lines, const QString& key);
}  // namespace keyedlines
