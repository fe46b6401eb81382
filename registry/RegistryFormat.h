#pragma once

#include "registry/PetTable.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Kennel.ini: code page 932, CR LF, keys matched without regard to case anywhere in a line.
struct RegistryContent {
    enum class Kind { Version2, Version1, Broken };
    Kind kind = Kind::Broken;
    PetTable table;    // for Version2
    int lastUser = -1; // for Version1: the last used mailbox, 0 to 2
};

// The file's bytes for a table; nothing when a name cannot be stored (line break, or a
// character outside code page 932).
std::optional<QByteArray> formatRegistry(const PetTable& table);
// Reads the bytes; numbers out of range and missing keys make the content Broken.
RegistryContent parseRegistry(const QByteArray& bytes);
// True when a pet or owner name can be registered: one line of code page 932 that holds no
// key of Kennel.ini or BackUp.ini. Keys are found anywhere in a line, so a name such as
// "Toys = -1" would be read back as a setting; such names are refused when they are entered.
bool registrableName(const QString& name);
// Decimal in sign-blank form: " 12" for 12, "-1" for -1.
QString signBlank(int value);
// Lenient number: leading blanks, optional sign, digits up to the first other character; 0 without digits.
long long lenientNumber(const QString& text);
