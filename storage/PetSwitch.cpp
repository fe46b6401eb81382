// The pet switch behind the main window's selector (Session::switchTo).
#include "storage/PetCopyCheck.h"
#include "storage/Session.h"
#include "storage/StorageOps.h"

#include "shell/FileOps.h"

namespace {

// The gauge: a load's nine steps at 2 points and Kennel.ini's nine at 9; an outgoing pet's
// store takes 1 point a step. The rest fills when the switch is over.
constexpr int kLoadPoints = 2;
constexpr int kRegistryPoints = 9;
constexpr int kStorePoints = 1;

} // namespace

bool Session::currentNeedsStore() const
{
    const PetTable& t = table_;
    if (t.CurrentUser < 0 || t.CurrentUser > t.MaxUser)
        return false;
    return currentUnstored_ || !fileops::exists(layout_.PetFolder(t.CurrentUser));
}

bool Session::storeOutgoingPet()
{
    if (!currentNeedsStore())
        return true;
    const QString folder = layout_.PetFolder(table_.CurrentUser);
    const bool hadFolder = fileops::exists(folder);
    const bool stored = StorePetData(*this, Steps(ctx_, kStorePoints)) && samePetData(layout_.ProgramFolder, folder);
    currentUnstored_ = !stored;
    if (!stored) {
        // A partial folder would pass for a stored pet next time. A folder that was there
        // before stays: it holds the pet's data as last stored, and the host's places the rest.
        if (!hadFolder)
            RemovePetFolder(folder + QLatin1Char('/'), Steps(ctx_, kStorePoints));
        ctx_.messages->critical(kMsgOutgoingNotStored.arg(table_.Pet[table_.CurrentUser]));
    }
    return stored;
}

bool Session::loadedWhole(int index) const
{
    const PetTable& t = table_;
    QStringList checked = {items::kSettings, items::kSettingsBackup};
    if (!t.Oyatsu)
        checked << items::kSnacks;
    if (!t.Treasures)
        checked << items::kTreasures;
    if (!t.Friends)
        checked << items::kFriends;
    if (!t.Toys)
        checked << items::kToys;
    if (!t.Mails)
        checked << items::kInbox << items::kOutbox << items::kAttachments;
    for (const QString& item : checked)
        if (!samePetItem(layout_.PetFolder(index), layout_.ProgramFolder, item))
            return false;
    return true;
}

// Kennel.ini could not be written and still names another pet: that pet's data goes back
// into the host's places, for the next start stores them into its folder.
void Session::reloadPetNamedInFile(int chosen)
{
    const RegistryContent onDisk = registryOnDisk();
    const int inFile = onDisk.kind == RegistryContent::Kind::Version2 ? onDisk.table.CurrentUser : -1;
    if (inFile < 0 || inFile > table_.MaxUser || inFile == chosen)
        return;
    table_.CurrentUser = inFile;
    LoadPetData(*this, Steps(ctx_, kLoadPoints));
}

SwitchResult Session::loadChosen(int i)
{
    PetTable& t = table_;
    // Missing folder: LoadPetData ends the program before anything is touched or journaled.
    if (!fileops::exists(layout_.PetFolder(i))) {
        t.CurrentUser = i;
        LoadPetData(*this, Steps(ctx_, kLoadPoints));
    }
    // From here to the Kennel.ini write the host's places are a mix of two pets; a kill in
    // between is finished at the next start (the chosen pet is loaded again).
    if (!beginJournal(journal::Switch{i, t.Pet[i]}))
        return SwitchResult::Refused;
    t.CurrentUser = i;
    currentUnstored_ = false;
    LoadPetData(*this, Steps(ctx_, kLoadPoints));
    const Steps registry(ctx_, kRegistryPoints);
    if (!loadedWhole(i)) {
        t.CurrentUser = -1;
        if (WriteRegistry(registry))
            endJournal();
        ctx_.messages->critical(kMsgPetNotLoaded.arg(t.Pet[i]));
        return SwitchResult::LoadFailed;
    }
    if (!WriteRegistry(registry)) {
        // The host may run next: a journal left behind would load the stale folder over
        // what it changes. The places are made to agree with the file where they can.
        reloadPetNamedInFile(i);
        // Should that pet not be back whole either, the journal stays: the next start loads
        // the chosen pet rather than store a mix over the folder of the pet the file names.
        if (t.CurrentUser == i || loadedWhole(t.CurrentUser))
            endJournal();
        return t.CurrentUser == i ? SwitchResult::Switched : SwitchResult::Refused;
    }
    endJournal();
    return SwitchResult::Switched;
}

SwitchResult Session::switchTo(int index)
{
    if (index == -1) {
        // A new pet that may follow starts from the template in the host's places.
        if (currentNeedsStore()) {
            const BusyScope busy(ctx_);
            if (!storeOutgoingPet())
                return SwitchResult::Refused;
        }
        table_.CurrentUser = -1;
        return SwitchResult::NewPetEntry;
    }

    const BusyScope busy(ctx_);
    if (index < 0 || index > table_.MaxUser || index >= kMaxPets)
        ctx_.fatal(kMsgInternalError);
    if (index == table_.CurrentUser)
        return SwitchResult::SamePet;
    if (!storeOutgoingPet())
        return SwitchResult::Refused;
    return loadChosen(index);
}
