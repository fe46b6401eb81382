#include "app/Startup.h"

#include "app/HostLaunch.h"
#include "shell/FileOps.h"
#include "storage/Session.h"
#include "ports/Causes.h"
#include "storage/StorageOps.h"

#include <cerrno>

using namespace items;

namespace {

// The start-up's gauge plan, in points: after each of the two checks, then per step of each
// path's parts (a normal start, a first run with the host's pet, a first run without one).
namespace plan {
constexpr int kCheck = 5;
constexpr int kRegistryStep = 1; // Kennel.ini, and an upgrade's conversion and template
constexpr int kStoreStep = 4;
constexpr int kTemplateStep = 3;
constexpr int kFirstPetStep = 3;
constexpr int kFirstPetSettings = 12; // once the sharing settings are closed
constexpr int kInitializeStep = 2;
constexpr int kNewPetSettings = 15;
constexpr int kNewPetStep = 5;
} // namespace plan

// First run with a pet in the host: it becomes pet 0, whose folder is filled from the host,
// step by step. False when a copy failed.
bool fillFirstPetFolder(Session& s)
{
    Context& ctx = s.context();
    const Steps step(ctx, plan::kFirstPetStep);
    const FileErrorGroup oneBox(*ctx.messages);
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

void StartupRefusals(Context& ctx, InstanceLock lock, const QString& lockCause)
{
    if (lock == InstanceLock::HeldElsewhere) {
        ctx.messages->exclamation(QString::fromUtf8(kMsgAlreadyRunning));
        ctx.endProgram(0);
    }
    // Without the lock another Kennel could work on the same folder at the same time.
    if (lock == InstanceLock::Failed)
        ctx.fatal(causes::below(kMsgLockFailed, lockCause.isEmpty() ? QStringList{} : QStringList{lockCause}));
    if (ctx.windows->windowExists(texts::kHostTitle)) {
        ctx.messages->exclamation(QString::fromUtf8(kMsgHostRunning));
        ctx.endProgram(0);
    }
}

StartupOutcome StartupCheck(Session& s, StartupWindow& window)
{
    Context& ctx = s.context();
    ProgressStep(ctx, plan::kCheck);
    if (!fileops::exists(s.layout().hostExecutable()))
        ctx.fatal(causes::below(QString::fromUtf8(kMsgWrongFolder),
                                {causes::ofPath(s.layout().hostExecutable(), ENOENT), kMsgUseSetup}));
    ProgressStep(ctx, plan::kCheck);
    // Work a kill interrupted is finished or undone before anything is read or stored.
    if (!s.recoverInterruptedWork())
        ctx.fatal(kMsgRecoveryFailed);

    if (fileops::exists(s.layout().registryFile())) {
        const Steps one(ctx, plan::kRegistryStep);
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
        storeCurrentPet(s, Steps(ctx, plan::kStoreStep));
        return StartupOutcome::Idle;
    }

    // First run: the template first.
    s.setRegistryLoaded(false);
    SnapshotDefaultData(s, Steps(ctx, plan::kTemplateStep));
    if (fileops::exists(s.layout().place(kSettings))) {
        // The host's pet becomes pet 0.
        s.setCurrentUnstored(!fillFirstPetFolder(s));
        window.showConfigForm();
        ProgressStep(ctx, plan::kFirstPetSettings);
        // Closed without a registration: no Kennel.ini exists, so the next start is a first run.
        if (!window.showInitializeForm(Steps(ctx, plan::kInitializeStep)))
            ctx.endProgram(0);
        return StartupOutcome::Idle;
    }

    // No pet in the host: a new one.
    window.showConfigForm();
    ProgressStep(ctx, plan::kNewPetSettings);
    if (!window.showNewForm(Steps(ctx, plan::kNewPetStep))) {
        s.table().CurrentUser = -1;
        s.table().MaxUser = -1;
        return StartupOutcome::Idle;
    }
    return StartupOutcome::LaunchHost;
}
