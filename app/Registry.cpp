#include "app/Registry.h"

#include "ports/Context.h"
#include "shell/FaultPoint.h"
#include "ports/Gauge.h"
#include "shell/FileOps.h"
#include "storage/StorageOps.h"

bool WriteRegistry(Context& ctx)
{
    const auto bytes = formatRegistry(ctx.table);
    // Whole or not at all; a link in its place is replaced, never written through.
    const bool ok = bytes && fileops::writeWhole(ctx.paths.registryFile(), *bytes);
    // The gauge moves as the nine lines groups are written.
    ProgressStep(ctx, 9 * ctx.StepSize);
    if (!ok)
        ctx.critical(kMsgRegistryWriteFailed);
    return ok;
}

void RegistryError(Context& ctx)
{
    ctx.fatal(kMsgRegistryError);
}

void ReadRegistry(Context& ctx)
{
    // Far beyond any real registry, so garbage stays bounded. Anything but a regular file (a
    // FIFO, a link) reads as nothing, and so as broken, without waiting.
    const QByteArray bytes = fileops::readRegular(ctx.paths.registryFile(), 1 << 20).value_or(QByteArray());
    Step(ctx);  // opened
    const RegistryContent content = parseRegistry(bytes);
    Step(ctx);  // closed

    if (content.kind == RegistryContent::Kind::Broken)
        RegistryError(ctx);
    if (content.kind == RegistryContent::Kind::Version1) {
        ctx.table.CurrentUser = content.lastUser;
        if (ctx.dialogs)
            ctx.dialogs->showConvertForm();
        Step(ctx);
        SnapshotDefaultData(ctx);
        return;
    }

    ctx.table = content.table;
    ProgressStep(ctx, 2 * ctx.StepSize);  // current and max user
    ProgressStep(ctx, 2 * ctx.StepSize);  // names
    ProgressStep(ctx, 5 * ctx.StepSize);  // flags

    if (ctx.view) {
        for (int i = 0; i <= ctx.table.MaxUser; ++i)
            ctx.view->selectorInsert(i + 1, ctx.table.Pet[i]);
        if (ctx.table.CurrentUser == -1) {
            ctx.view->setSelectorText(texts::kNewPetEntry);
            ctx.view->setOwnerText(QString());
        } else {
            ctx.SuppressPetSel = true;
            ctx.view->setSelectorText(ctx.table.Pet[ctx.table.CurrentUser]);
            ctx.view->setOwnerText(ctx.table.Master[ctx.table.CurrentUser]);
            ctx.SuppressPetSel = false;
        }
    }
    Step(ctx);
}
