#include "app/Registry.h"

#include "app/Context.h"
#include "app/FaultPoint.h"
#include "app/Gauge.h"
#include "storage/StorageOps.h"

#include <QFile>
#include <QSaveFile>

bool WriteRegistry(Context& ctx)
{
    const auto bytes = formatRegistry(ctx.table);
    bool ok = false;
    if (bytes) {
        QSaveFile file(ctx.paths.registryFile());
        // Unbuffered: a full disk fails the write here; buffered, the commit's final flush
        // would lose the error and put an empty file in place of the good one.
        ok = !fault::fails("write", ctx.paths.registryFile()) && file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
             && file.write(*bytes) == bytes->size() && file.commit();
    }
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
    QFile file(ctx.paths.registryFile());
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(1 << 20);  // far beyond any real registry; garbage stays bounded
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
