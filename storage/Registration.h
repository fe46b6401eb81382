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

// Registers a new pet at index MaxUser + 1 (0 on a first run, whose host's places keep
// their data and become the new pet's) and, unless first run, puts the template into the
// host's places (InitNewPetData). The set-up is journaled (storage/Journal.h), so a kill
// part-way is finished at the next start. When the template does not arrive whole, the
// registration is taken back and the user told (kMsgNewPetNotReady, storage/StorageOps.h);
// the answer is then false, as when Kennel.ini cannot be written. The pet whose data the
// places hold is stored first when it needs to be (StoreOutgoingPet), else nothing happens.
// The names must have passed registrationProblem.
bool RegisterNewPet(Context& ctx, const QString& pet, const QString& master);
