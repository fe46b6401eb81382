// Registering pets: a first run's pet, a new pet, a restored pet; the sharing settings.
#include "storage/Session.h"

#include "ports/Causes.h"

#include <cerrno>
#include "storage/StorageOps.h"

#include "registry/Texts.h"
#include "shell/FileOps.h"

QString Session::registrationProblem(const QString& pet, const QString& master, bool checkDuplicate) const
{
    if (pet.isEmpty() || master.isEmpty())
        return texts::kMsgEnterNames;
    if (pet == texts::kNewPetEntry)
        return texts::kMsgReservedName;
    if (!registrableName(pet) || !registrableName(master))
        return texts::kMsgUnstorableName;
    // On a first run the table holds no valid names yet.
    if (checkDuplicate && registryLoaded_ && table_.indexOf(pet) >= 0)
        return texts::kMsgDuplicatePet;
    return {};
}

// Makes pet index the current pet with these names and writes Kennel.ini. When the file
// cannot be written (the user has been told), the table is put back as it was.
bool Session::commitRegistration(int index, const QString& pet, const QString& master, Steps steps)
{
    const PetTable before = table_;
    table_.MaxUser = qMax(table_.MaxUser, index);
    table_.CurrentUser = index;
    table_.Pet[index] = pet;
    table_.Master[index] = master;
    if (!WriteRegistry(steps)) {
        // Nothing may go on as if the pet were registered: the file on disk still names the
        // previous pet, and the next start would store the host's data into its folder.
        table_ = before;
        return false;
    }
    registryLoaded_ = true;
    return true;
}

bool Session::registerFirstPet(const QString& pet, const QString& master, Steps steps)
{
    return commitRegistration(0, pet, master, steps);
}

bool Session::registerNewPet(const QString& pet, const QString& master, Steps steps)
{
    if (!registryLoaded_)
        return commitRegistration(0, pet, master, steps);

    // The template replaces the host's places: the pet whose data they hold is stored first.
    if (!storeOutgoingPet())
        return false;
    const PetTable before = table_;
    const int index = table_.MaxUser + 1;
    if (!beginJournal(journal::NewPet{index, pet}))
        return false;
    // Kennel.ini is written before the host's places are touched: should the write fail,
    // the places still hold the data of the pet the file names.
    if (!commitRegistration(index, pet, master, steps)) {
        endJournal();
        return false;
    }
    currentUnstored_ = false;
    if (!InitNewPetData(*this, steps)) {
        // The places hold a mix of the previous pet (stored in its folder) and the template:
        // no pet is current, so the next start stores them nowhere.
        const PetTable registered = table_;
        table_ = before;
        table_.CurrentUser = -1;
        if (WriteRegistry(steps)) {
            endJournal();
            ctx_.messages->critical(kMsgNewPetNotReady);
            return false;
        }
        // Kennel.ini still names the new pet: it stays registered with what arrived.
        table_ = registered;
    }
    endJournal();
    return true;
}

bool Session::registerRestored(const QString& staging, const QString& pet, const QString& master)
{
    const PetTable before = table_;
    const int index = table_.MaxUser + 1;
    const QString folder = layout_.PetFolder(index);
    // The restore runs beside an idle main window: its gauge does not move.
    const Steps none = Steps::none(ctx_);
    // A folder at the new pet's number belongs to no registered pet: left by an earlier run.
    if (fileops::exists(folder))
        RemovePetFolder(folder + QLatin1Char('/'), none);
    if (fileops::exists(folder)) {
        ctx_.messages->critical(kMsgRestoreFolderInTheWay.arg(folder));
        return false;
    }
    // The data appears at the pet's number whole, by one rename, before Kennel.ini lists it;
    // a kill before the file is written takes it back at the next start.
    if (!beginJournal(journal::Restore{index, pet, staging}))
        return false;
    if (!fileops::renameNoReplace(staging, folder)) {
        const int error = errno;
        endJournal();
        ctx_.messages->fileError({causes::line(folder, error)});
        return false;
    }
    table_.MaxUser = index;
    table_.Pet[index] = pet;
    table_.Master[index] = master;
    if (!WriteRegistry(none)) {
        table_ = before; // the file still holds the old table; so does memory
        if (fileops::renameNoReplace(folder, staging))
            endJournal(); // otherwise the next start takes the folder back
        return false;
    }
    endJournal();
    return true;
}

bool Session::setSharing(const std::array<bool, 5>& shared)
{
    const std::array<bool, 5> before = table_.sharing();
    table_.setSharing(shared);
    // On a first run the registration that follows writes the file with these flags.
    if (registryLoaded_ && !WriteRegistry(Steps::none(ctx_))) {
        table_.setSharing(before);
        return false;
    }
    return true;
}
