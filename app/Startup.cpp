#include "app/Startup.h"

#include "app/HostLaunch.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
#include "storage/StorageOps.h"

using namespace items;

namespace {

// First run with a pet in the host: it becomes pet 0, whose folder is filled from the host,
// three points a step. False when a copy failed.
bool fillFirstPetFolder(Session& s)
{
    Context& ctx = s.context();
    const Steps step(ctx, 3);
    bool ok = true;
    const QString pet = s.layout().PetFolder(0);
    auto in = [&](const QString& name) { return pet + QLatin1Char('/') + name; };
    fileops::makeFolder(pet);
    for (const QString& name : kFolderOrder)
        fileops::makeFolder(in(name));
    step();
    for (const QString& name : {kFriends, kSettings, kSettingsBackup}) {
        if (fileops::exists(s.layout().place(name)))
            ok &= s.shell().ShellCopy(s.layout().place(name), in(name));
        step();
    }
    if (fileops::exists(s.layout().place(kAttachments)))
        ok &= s.shell().ShellCopy(s.layout().place(kAttachments) + QStringLiteral("/*.*"), in(kAttachments) + QLatin1Char('/'));
    step();
    for (const QString& name : {kInbox, kOutbox, kToys, kSnacks, kTreasures}) {
        ok &= s.shell().ShellCopy(s.layout().place(name) + QStringLiteral("/*.*"), in(name) + QLatin1Char('/'));
        step();
    }
    return ok && fileops::isFolder(pet);
}

// The host's places into the current pet's folder. When that fails the places keep the only
// complete copy: nothing may replace them before the pet is stored.
void storeCurrentPet(Session& s, Steps steps)
{
    if (StorePetData(s, steps))
        return;
    s.setCurrentUnstored(true);
    s.context().messages->critical(kMsgStoreFailed.arg(s.table().Pet[s.table().CurrentUser]));
}

} // namespace

void StartupRefusals(Context& ctx, InstanceLock lock)
{
    if (lock == InstanceLock::HeldElsewhere) {
        ctx.messages->exclamation(QString::fromUtf8(kMsgAlreadyRunning));
        ctx.exit->endProgram(0);
    }
    // Without the lock another Kennel could work on the same folder at the same time.
    if (lock == InstanceLock::Failed)
        ctx.fatal(kMsgLockFailed);
    if (ctx.windows->windowExists(texts::kHostTitle)) {
        ctx.messages->exclamation(QString::fromUtf8(kMsgHostRunning));
        ctx.exit->endProgram(0);
    }
}

StartupOutcome StartupCheck(Session& s, StartupWindow& window)
{
    Context& ctx = s.context();
    // The gauge: five points after each check, then each path's own plan below.
    ProgressStep(ctx, 5);
    if (!fileops::exists(s.layout().hostExecutable()))
        ctx.fatal(QString::fromUtf8(kMsgWrongFolder));
    ProgressStep(ctx, 5);
    // Work a kill interrupted is finished or undone before anything is read or stored.
    if (!s.recoverInterruptedWork())
        ctx.fatal(kMsgRecoveryFailed);

    if (fileops::exists(s.layout().registryFile())) {
        // Kennel.ini at 1 point a step (an upgrade's too), the store at 4.
        const Steps one(ctx, 1);
        if (s.ReadRegistry(one) == RegistryContent::Kind::Version1) {
            window.showConvertForm(one);
            one();
            SnapshotDefaultData(s, one);
        } else {
            window.showPets();
            one();
        }
        s.setRegistryLoaded(true);
        // An upgrade's journal stays until its template snapshot is taken (just above).
        if (const auto record = s.journal().read(); record && std::holds_alternative<journal::Upgrade>(*record))
            s.endJournal();
        storeCurrentPet(s, Steps(ctx, 4));
        return StartupOutcome::Idle;
    }

    // First run: the template at 3 points a step.
    s.setRegistryLoaded(false);
    SnapshotDefaultData(s, Steps(ctx, 3));
    if (fileops::exists(s.layout().place(kSettings))) {
        // The host's pet becomes pet 0; Kennel.ini at 2 points a step.
        s.setCurrentUnstored(!fillFirstPetFolder(s));
        window.showConfigForm();
        ProgressStep(ctx, 12);
        // Closed without a registration: no Kennel.ini exists, so the next start is a first run.
        if (!window.showInitializeForm(Steps(ctx, 2)))
            ctx.exit->endProgram(0);
        return StartupOutcome::Idle;
    }

    // No pet in the host: a new one, Kennel.ini at 5 points a step.
    window.showConfigForm();
    ProgressStep(ctx, 15);
    if (!window.showNewForm(Steps(ctx, 5))) {
        s.table().CurrentUser = -1;
        s.table().MaxUser = -1;
        return StartupOutcome::Idle;
    }
    return StartupOutcome::LaunchHost;
}
