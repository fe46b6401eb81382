#include "storage/Upgrade.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/Registry.h"
#include "storage/FileOps.h"
#include "storage/Journal.h"
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

MailboxPlan ScanMailboxes(const HostLayout& paths, int lastUser)
{
    MailboxPlan plan;
    plan.lastUsed = lastUser >= 0 && lastUser <= 2 ? lastUser : 0;
    for (int k = 1; k < 3; ++k)
        plan.inUse[k] = fileops::exists(paths.OldPetFolder(k + 1) + QLatin1Char('/') + kSettings);
    // The last used mailbox's live data sits in the host's places even when its folder has
    // no settings file yet (it is stored at the next start): it must become a pet.
    plan.inUse[plan.lastUsed] = true;
    return plan;
}

bool CheckUpgradeNames(Context& ctx, const MailboxPlan& plan, const UpgradeNames& names)
{
    bool failed = false;
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && (names.pet[k].isEmpty() || names.master[k].isEmpty())) {
            ctx.critical(texts::kMsgEnterNames);
            failed = true;
            break;
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && names.pet[k] == texts::kNewPetEntry) {
            ctx.critical(texts::kMsgReservedName);
            failed = true;
            break;
        }
    }
    if (failed)
        return false;
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            if (plan.inUse[a] && plan.inUse[b] && names.pet[a] == names.pet[b]) {
                ctx.critical(kMsgUpgradeDuplicatePet);
                return false;
            }
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (plan.inUse[k] && (!registrableName(names.pet[k]) || !registrableName(names.master[k]))) {
            ctx.critical(texts::kMsgUnstorableName);
            return false;
        }
    }
    return true;
}

bool CheckUpgradeFolders(Context& ctx, const MailboxPlan& plan)
{
    for (int k = 0; k < 3; ++k) {
        if (!plan.inUse[k])
            continue;
        const QString target = ctx.paths.PetFolder(plan.petIndexOf(k));
        if (fileops::exists(target)) {
            ctx.critical(kMsgUpgradeFolderExists.arg(target));
            return false;
        }
    }
    return true;
}

bool RenameFolderNoReplace(const QString& from, const QString& to)
{
    return fileops::renameNoReplace(from, to);
}

namespace {

// One step of the conversion that can be undone.
struct Move {
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
void undo(Context& ctx, const std::vector<Move>& done, const FolderRename& rename)
{
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        errno = 0;
        if (it->from.isEmpty()) {
            for (const QString& name : kFolderOrder)
                fileops::removeFolder(it->to + QLatin1Char('/') + name);
            fileops::removeFolder(it->to);
        } else if (!rename(it->to, it->from)) {
            const int error = errno ? errno : EIO;
            ctx.critical(causes::below(kMsgUpgradeUndoFailed.arg(it->to, it->from), {causes::line(it->to, error)}));
        }
    }
}

} // namespace

bool ConvertMailboxes(Context& ctx, const MailboxPlan& plan, const UpgradeNames& names, const FolderRename& rename)
{
    if (!CheckUpgradeFolders(ctx, plan))
        return false;
    const PetTable before = ctx.table;

    // The renames are journaled: a kill before Kennel.ini is written is undone at the next
    // start, one after it is finished (storage/Journal.h).
    journal::Entry entry{QStringLiteral("upgrade"), {}};
    for (int k = 0; k < 3; ++k) {
        const QString row = QString::number(k);
        const QString old = ctx.paths.OldPetFolder(k + 1);
        if (!plan.inUse[k]) {
            entry.values.append({QStringLiteral("remove") + row, old});
            continue;
        }
        const QString pet = ctx.paths.PetFolder(plan.petIndexOf(k));
        if (hasMailbox(old)) {
            entry.values.append({QStringLiteral("from") + row, old});
            entry.values.append({QStringLiteral("to") + row, pet});
        } else {
            entry.values.append({QStringLiteral("made") + row, pet});
        }
    }
    if (!BeginJournal(ctx, entry))
        return false;

    std::vector<Move> done;
    for (int k = 0; k < 3; ++k) {
        if (!plan.inUse[k])
            continue;
        const QString from = ctx.paths.OldPetFolder(k + 1);
        const QString to = ctx.paths.PetFolder(plan.petIndexOf(k));
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
            undo(ctx, done, rename);
            EndJournal(ctx);
            ctx.critical(causes::below(kMsgUpgradeRenameFailed.arg(from, to), {causes::line(from, error)}));
            return false;
        }
        done.push_back({from, to});
    }

    PetTable& t = ctx.table;
    t.MaxUser = plan.petCount() - 1;
    for (int k = 0; k < 3; ++k) {
        const int i = plan.petIndexOf(k);
        if (i < 0)
            continue;
        t.Pet[i] = names.pet[k];
        t.Master[i] = names.master[k];
    }
    t.CurrentUser = plan.petIndexOf(plan.lastUsed);

    if (!WriteRegistry(ctx)) {
        undo(ctx, done, rename);
        EndJournal(ctx);
        ctx.table = before;
        ctx.critical(kMsgUpgradeNotWritten);
        return false;
    }

    // Only now that Kennel.ini names the new pets: the mailboxes without data go.
    for (int k = 0; k < 3; ++k)
        if (!plan.inUse[k])
            RemovePetFolder(ctx, ctx.paths.OldPetFolder(k + 1) + QLatin1Char('/'));
    return true;
}

void FillSelectorAfterUpgrade(Context& ctx)
{
    if (!ctx.view)
        return;
    const PetTable& t = ctx.table;
    ctx.SuppressPetSel = true;
    for (int i = 0; i <= t.MaxUser && i < kMaxPets; ++i)
        ctx.view->selectorInsert(ctx.view->selectorCount(), t.Pet[i]);
    if (t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser) {
        ctx.view->setSelectorText(t.Pet[t.CurrentUser]);
        ctx.view->setOwnerText(t.Master[t.CurrentUser]);
    }
    ctx.SuppressPetSel = false;
}
