// Session::recoverInterruptedWork: the start-up half of the intent journal (storage/Journal.h).
#include "storage/Session.h"
#include "storage/StorageOps.h"

#include "shell/FileOps.h"

namespace {

bool listed(const RegistryContent& reg, int index, const QString& name)
{
    return reg.kind == RegistryContent::Kind::Version2 && index >= 0 && index <= reg.table.MaxUser
           && reg.table.Pet[index] == name;
}

// A path the upgrade journal may name: a pet folder 1 to 3 or a mailbox folder 1 to 3.
bool upgradePath(const HostLayout& layout, const QString& path)
{
    for (int n = 1; n <= 3; ++n)
        if (path == layout.PetFolder(n - 1) || path == layout.OldPetFolder(n))
            return true;
    return false;
}

} // namespace

// Each finisher returns false when Kennel.ini could not be brought into line with the
// folders. None moves the gauge.
struct Session::Recovery {
    Session& s;
    const RegistryContent& reg;

    Steps none() const { return Steps::none(s.ctx_); }

    // The chosen pet's folder goes into the host's places again and Kennel.ini names it.
    bool operator()(const journal::Switch& e) const
    {
        if (reg.kind != RegistryContent::Kind::Version2)
            return true; // ReadRegistry deals with the file; nothing was written over a pet
        PetTable t = reg.table;
        const int i = e.pet;
        if (!listed(reg, i, e.name))
            return true; // not a switch between the pets of this file: nothing of it to finish
        if (!fileops::exists(s.layout_.PetFolder(i))) {
            // The places may hold a mix: no pet owns them.
            t.CurrentUser = -1;
            return s.writeTable(t, none());
        }
        s.table_ = t;
        s.table_.CurrentUser = i;
        const bool loaded = LoadPetData(s, none()) && s.loadedWhole(i);
        t.CurrentUser = loaded ? i : -1;
        if (!loaded)
            s.ctx_.messages->critical(kMsgRecoveredLoadFailed);
        return s.writeTable(t, none());
    }

    // The new pet named in Kennel.ini gets the template again.
    bool operator()(const journal::NewPet& e) const
    {
        const int n = e.pet;
        if (!listed(reg, n, e.name) || reg.table.CurrentUser != n)
            return true; // the registration was not written: the places were not touched
        s.table_ = reg.table;
        if (InitNewPetData(s, none()))
            return true;
        // Not even now: the registration is taken back (the new pet has no data of its own
        // yet, and no folder), and no pet owns the mixed places.
        PetTable t = reg.table;
        t.CurrentUser = -1;
        if (n == t.MaxUser)
            t.MaxUser = n - 1;
        s.ctx_.messages->critical(kMsgNewPetNotReady);
        return s.writeTable(t, none());
    }

    bool operator()(const journal::Delete& e) const
    {
        const int c = e.pet;
        const int m = e.max;
        // Only a trash name of Kennel's own is ever removed, whatever the journal says.
        if (!s.journal_.isTrashFolder(e.trash))
            return true;
        const bool before = reg.kind == RegistryContent::Kind::Version2 && reg.table.MaxUser == m
                            && listed(reg, c, e.name);
        if (before) {
            if (!s.renumberPetFolders(c, m, e.trash, none()) || !s.writeTable(reg.table.withoutPet(c), none()))
                return false;
        } else if (!(reg.kind == RegistryContent::Kind::Version2 && reg.table.MaxUser == m - 1)) {
            return true; // not this deletion's file: leave the folders alone
        }
        fileops::removeTree(e.trash);
        return true;
    }

    // Unless Kennel.ini lists the restored pet, its folder goes back to the staging name (and
    // from there, with the rest of the staging folder, away).
    bool operator()(const journal::Restore& e) const
    {
        const int n = e.pet;
        if (n < 0 || n >= kMaxPets || listed(reg, n, e.name))
            return true;
        if (reg.kind == RegistryContent::Kind::Version2 && n <= reg.table.MaxUser)
            return true; // another pet owns that number now
        const QString folder = s.layout_.PetFolder(n);
        const QString staging = s.journal_.stagingFolder();
        if (!fileops::exists(folder))
            return true;
        return fileops::removeTree(staging) && fileops::renameNoReplace(folder, staging);
    }

    bool operator()(const journal::Upgrade& e) const
    {
        // A journal naming anything but the upgrade's folders is not the upgrade's: left alone.
        for (const auto* paths : {&e.from, &e.to, &e.made, &e.remove})
            for (const QString& path : *paths)
                if (!path.isEmpty() && !upgradePath(s.layout_, path))
                    return true;
        if (reg.kind == RegistryContent::Kind::Version1) {
            // Back to the version 1.0 folders: the upgrade is offered again.
            for (int k = 2; k >= 0; --k) {
                const QString& from = e.from[k];
                const QString& to = e.to[k];
                if (!from.isEmpty() && !to.isEmpty() && fileops::exists(to) && !fileops::exists(from)
                    && !fileops::renameNoReplace(to, from))
                    return false;
                if (!e.made[k].isEmpty()) {
                    for (const QString& name : items::kFolderOrder)
                        fileops::removeFolder(e.made[k] + QLatin1Char('/') + name);
                    fileops::removeFolder(e.made[k]);
                }
            }
            return true;
        }
        if (reg.kind != RegistryContent::Kind::Version2)
            return true;
        for (const QString& gone : e.remove)
            if (!gone.isEmpty())
                RemovePetFolder(gone + QLatin1Char('/'), none());
        SnapshotDefaultData(s, none());
        return true;
    }
};

bool Session::recoverInterruptedWork()
{
    bool ok = true;
    QString namedTrash; // a deletion's trash that its journal may have left alone
    if (const auto record = journal_.read()) {
        if (const auto* d = std::get_if<journal::Delete>(&*record))
            namedTrash = d->trash;
        const RegistryContent reg = registryOnDisk();
        const PetTable table = table_;
        ok = std::visit(Recovery{*this, reg}, *record);
        table_ = table; // ReadRegistry fills the table from the file
        if (ok)
            ok = journal_.remove();
    } else if (journal_.exists()) {
        journal_.remove(); // names no operation: nothing to finish
    }
    // A restore that never registered leaves its staging folder behind; a deletion whose
    // journal is gone, its trash (earlier versions left the deleted pet's sub-folders there).
    if (ok) {
        fileops::removeTree(journal_.stagingFolder());
        for (const QString& trash : journal_.trashFolders())
            if (trash != namedTrash)
                fileops::removeTree(trash);
    }
    return ok;
}
