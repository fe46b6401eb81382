#include "storage/Upgrade.h"

#include "ports/Causes.h"
#include "registry/Texts.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
#include "storage/StorageOps.h"

#include <cerrno>
#include <vector>

using namespace items;

int MailboxPlan::OldMax() const
{
    int max = 0;
    for (int k = 0; k < 3; ++k)
        if (inUse[k])
            max = k;
    return max;
}

int MailboxPlan::petCount() const
{
    int n = 0;
    for (bool used : inUse)
        n += used ? 1 : 0;
    return n;
}

int MailboxPlan::petIndexOf(int row) const
{
    if (row < 0 || row > 2 || !inUse[row])
        return -1;
    int index = 0;
    for (int k = 0; k < row; ++k)
        index += inUse[k] ? 1 : 0;
    return index;
}

MailboxPlan scanMailboxes(const HostLayout& layout, int lastUser)
{
    MailboxPlan plan;
    plan.lastUsed = lastUser >= 0 && lastUser <= 2 ? lastUser : 0;
    for (int k = 1; k < 3; ++k)
        plan.inUse[k] = fileops::exists(layout.OldPetFolder(k + 1) + QLatin1Char('/') + kSettings);
    // The last used mailbox's live data sits in the host's places even when its folder has
    // no settings file yet (it is stored at the next start): it must become a pet.
    plan.inUse[plan.lastUsed] = true;
    return plan;
}

bool checkUpgradeNames(MessagePort& messages, const MailboxPlan& plan, const UpgradeNames& names)
{
    bool failed = false;
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && (names.pet[k].isEmpty() || names.master[k].isEmpty())) {
            messages.critical(texts::kMsgEnterNames);
            failed = true;
            break;
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && names.pet[k] == texts::kNewPetEntry) {
            messages.critical(texts::kMsgReservedName);
            failed = true;
            break;
        }
    }
    if (failed)
        return false;
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            if (plan.inUse[a] && plan.inUse[b] && names.pet[a] == names.pet[b]) {
                messages.critical(kMsgUpgradeDuplicatePet);
                return false;
            }
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && (!registrableName(names.pet[k]) || !registrableName(names.master[k]))) {
            messages.critical(texts::kMsgUnstorableName);
            return false;
        }
    }
    return true;
}

bool checkUpgradeFolders(MessagePort& messages, const HostLayout& layout, const MailboxPlan& plan)
{
    for (int k = 0; k < 3; ++k) {
        if (!plan.inUse[k])
            continue;
        const QString target = layout.PetFolder(plan.petIndexOf(k));
        if (fileops::exists(target)) {
            messages.critical(kMsgUpgradeFolderExists.arg(target));
            return false;
        }
    }
    return true;
}

namespace {

// One step of the conversion that can be undone.
struct FolderMove {
    QString from; // empty: the pet folder was made, there was no mailbox folder
    QString to;
};

// A mailbox folder to rename; one that is a link is renamed as a link (and never read
// through afterwards: its pet's data will not load until the user puts it in place).
bool hasMailbox(const QString& folder)
{
    return fileops::isFolder(folder) || fileops::isLink(folder);
}

void makePetFolder(const QString& folder)
{
    fileops::makeFolder(folder);
    for (const QString& name : kFolderOrder)
        fileops::makeFolder(folder + QLatin1Char('/') + name);
}

// Undoes the moves in reverse order; every folder that cannot go back is told.
void undo(MessagePort& messages, const std::vector<FolderMove>& done, const FolderRename& rename)
{
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        errno = 0;
        if (it->from.isEmpty()) {
            for (const QString& name : kFolderOrder)
                fileops::removeFolder(it->to + QLatin1Char('/') + name);
            fileops::removeFolder(it->to);
        } else if (!rename(it->to, it->from)) {
            const int error = errno ? errno : EIO;
            messages.critical(causes::below(kMsgUpgradeUndoFailed.arg(it->to, it->from), {causes::line(it->to, error)}));
        }
    }
}

} // namespace

bool Session::convertMailboxes(const MailboxPlan& plan, const UpgradeNames& names, Steps steps,
                               const FolderRename& rename)
{
    MessagePort& messages = *ctx_.messages;
    if (!checkUpgradeFolders(messages, layout_, plan))
        return false;
    const PetTable before = table_;

    // The renames are journaled: a kill before Kennel.ini is written is undone at the next
    // start, one after it is finished (storage/Journal.h).
    journal::Upgrade record;
    for (int k = 0; k < 3; ++k) {
        const QString old = layout_.OldPetFolder(k + 1);
        if (!plan.inUse[k]) {
            record.remove[k] = old;
            continue;
        }
        const QString pet = layout_.PetFolder(plan.petIndexOf(k));
        if (hasMailbox(old)) {
            record.from[k] = old;
            record.to[k] = pet;
        } else {
            record.made[k] = pet;
        }
    }
    if (!beginJournal(record))
        return false;

    std::vector<FolderMove> done;
    for (int k = 0; k < 3; ++k) {
        if (!plan.inUse[k])
            continue;
        const QString from = layout_.OldPetFolder(k + 1);
        const QString to = layout_.PetFolder(plan.petIndexOf(k));
        if (!hasMailbox(from)) {
            // Nothing to rename (mailbox 1 is taken as used, the last used one may never
            // have been stored): the pet starts from an empty folder.
            makePetFolder(to);
            done.push_back({QString(), to});
            continue;
        }
        errno = 0;
        if (!rename(from, to)) {
            const int error = errno ? errno : EIO;
            undo(messages, done, rename);
            endJournal();
            messages.critical(causes::below(kMsgUpgradeRenameFailed.arg(from, to), {causes::line(from, error)}));
            return false;
        }
        done.push_back({from, to});
    }

    table_.MaxUser = plan.petCount() - 1;
    for (int k = 0; k < 3; ++k) {
        const int i = plan.petIndexOf(k);
        if (i < 0)
            continue;
        table_.Pet[i] = names.pet[k];
        table_.Master[i] = names.master[k];
    }
    table_.CurrentUser = plan.petIndexOf(plan.lastUsed);

    if (!WriteRegistry(steps)) {
        undo(messages, done, rename);
        endJournal();
        table_ = before;
        messages.critical(kMsgUpgradeNotWritten);
        return false;
    }

    // Only now that Kennel.ini names the new pets: the mailboxes without data go.
    for (int k = 0; k < 3; ++k)
        if (!plan.inUse[k])
            RemovePetFolder(layout_.OldPetFolder(k + 1) + QLatin1Char('/'), steps);
    return true;
}
