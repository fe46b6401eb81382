#pragma once

#include <QString>

struct Context;

// Rules and bookkeeping shared by the registration dialogs.

// The message that refuses this pair of names, or an empty text when they can be registered:
// both names given, the pet name not the selector's "新規ペット", both storable in Kennel.ini,
// and, when checkDuplicate and a registry is loaded, no pet of exactly that name yet.
// Names are taken as typed: blanks stay, letter case counts.
QString registrationProblem(const Context& ctx, const QString& pet, const QString& master, bool checkDuplicate);

// Makes pet index the current pet with these names and writes Kennel.ini. When the file
// cannot be written (the user has been told), the table is put back as it was and the
// answer is false. Otherwise RegistryLoaded is set and the pet is appended to the main
// window's selector, selected, with its owner shown.
bool commitRegistration(Context& ctx, int index, const QString& pet, const QString& master);
