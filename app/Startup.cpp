#include "app/Startup.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/Gauge.h"
#include "app/Registry.h"
#include "platform/InstanceLock.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"
#include "storage/Journal.h"
#include "storage/StorageOps.h"

#include <cerrno>

using namespace items;

namespace {

void finish(Context& ctx)
{
    ProgressFill(ctx);
    if (ctx.view)
        ctx.view->BusyOff();
    ctx.StepSize = 0;
}

// First run with a pet in the host: it becomes pet 0, whose folder is filled from the host.
// False when a copy failed.
bool fillFirstPetFolder(Context& ctx)
{
    const FileErrorGroup oneBox(ctx);
    bool ok = true;
    const QString pet = ctx.paths.PetFolder(0);
    auto in = [&](const QString& name) { return pet + QLatin1Char('/') + name; };
    fileops::makeFolder(pet);
    for (const QString& name : kFolderOrder)
        fileops::makeFolder(in(name));
    ProgressStep(ctx, 3);
    for (const QString& name : {kFriends, kSettings, kSettingsBackup}) {
        if (fileops::exists(ctx.paths.place(name)))
            ok &= ShellCopy(ctx, ctx.paths.place(name), in(name));
        ProgressStep(ctx, 3);
    }
    if (fileops::exists(ctx.paths.place(kAttachments)))
        ok &= ShellCopy(ctx, ctx.paths.place(kAttachments) + QStringLiteral("/*.*"), in(kAttachments) + QLatin1Char('/'));
    ProgressStep(ctx, 3);
    for (const QString& name : {kInbox, kOutbox, kToys, kSnacks, kTreasures}) {
        ok &= ShellCopy(ctx, ctx.paths.place(name) + QStringLiteral("/*.*"), in(name) + QLatin1Char('/'));
        ProgressStep(ctx, 3);
    }
    return ok && fileops::isFolder(pet);
}

// The host's places into the current pet's folder. When that fails the places keep the only
// complete copy: nothing may replace them before the pet is stored (CurrentUnstored).
void storeCurrentPet(Context& ctx)
{
    if (StorePetData(ctx))
        return;
    ctx.CurrentUnstored = true;
    ctx.critical(kMsgStoreFailed.arg(ctx.table.Pet[ctx.table.CurrentUser]));
}

}  // namespace

void StartupRefusals(Context& ctx, InstanceLock lock)
{
    if (lock == InstanceLock::HeldElsewhere) {
        ctx.exclamation(QString::fromUtf8(kMsgAlreadyRunning));
        ctx.endProgram(0);
    }
    // Without the lock another Kennel could work on the same folder at the same time.
    if (lock == InstanceLock::Failed) {
        const int error = instanceLockError();
        ctx.fatal(causes::below(kMsgLockFailed,
                                error ? QStringList{causes::line(ctx.paths.ProgramFolder, error)} : QStringList{}));
    }
    if (ctx.windows && ctx.windows->windowExists(texts::kHostTitle)) {
        ctx.exclamation(QString::fromUtf8(kMsgHostRunning));
        ctx.endProgram(0);
    }
}

void StartupCheck(Context& ctx)
{
    ProgressStep(ctx, 5);
    if (!fileops::exists(ctx.paths.hostExecutable()))
        ctx.fatal(causes::below(QString::fromUtf8(kMsgWrongFolder),
                                {causes::ofPath(ctx.paths.hostExecutable(), ENOENT), kMsgUseSetup}));
    ProgressStep(ctx, 5);
    // Work a kill interrupted is finished or undone before anything is read or stored.
    if (!RecoverInterruptedWork(ctx))
        ctx.fatal(kMsgRecoveryFailed);

    if (fileops::exists(ctx.paths.registryFile())) {
        ctx.StepSize = 1;
        ReadRegistry(ctx);
        ctx.RegistryLoaded = true;
        // An upgrade's journal stays until its template snapshot is taken (in ReadRegistry).
        if (const auto e = journal::read(ctx.paths); e && e->op == QLatin1String("upgrade"))
            EndJournal(ctx);
        ctx.StepSize = 4;
        storeCurrentPet(ctx);
        finish(ctx);
        return;
    }

    // First run.
    ctx.RegistryLoaded = false;
    ctx.StepSize = 3;
    SnapshotDefaultData(ctx);
    if (fileops::exists(ctx.paths.place(kSettings))) {
        ctx.CurrentUnstored = !fillFirstPetFolder(ctx);
        if (ctx.dialogs)
            ctx.dialogs->showConfigForm();
        ProgressStep(ctx, 12);
        ctx.StepSize = 2;
        if (ctx.dialogs)
            ctx.dialogs->showInitializeForm();
        finish(ctx);
        return;
    }

    if (ctx.dialogs)
        ctx.dialogs->showConfigForm();
    ProgressStep(ctx, 15);
    ctx.StepSize = 5;
    const bool registered = ctx.dialogs && ctx.dialogs->showNewForm();
    if (!registered) {
        ctx.table.CurrentUser = -1;
        ctx.table.MaxUser = -1;
        finish(ctx);
        return;
    }
    finish(ctx);
    ctx.dialogs->launchHost();
}
