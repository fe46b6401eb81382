#include "app/Registry.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/FaultPoint.h"
#include "app/Gauge.h"
#include "storage/FileOps.h"
#include "storage/StorageOps.h"

#include <cerrno>

bool WriteRegistry(Context& ctx)
{
    const auto bytes = formatRegistry(ctx.table);
    // Whole or not at all; a link in its place is replaced, never written through.
    errno = 0;
    const bool ok = bytes && fileops::writeWhole(ctx.paths.registryFile(), *bytes);
    const int error = errno;
    // The gauge moves as the nine lines groups are written.
    ProgressStep(ctx, 9 * ctx.StepSize);
    if (!ok)
        ctx.critical(causes::below(kMsgRegistryWriteFailed,
                                   bytes ? QStringList{causes::line(ctx.paths.registryFile(), error ? error : EIO)}
                                         : QStringList{}));
    return ok;
}

void RegistryError(Context& ctx, const QString& cause)
{
    ctx.fatal(causes::below(kMsgRegistryError, cause.isEmpty() ? QStringList{} : QStringList{cause}));
}

void ReadRegistry(Context& ctx)
{
    // Far beyond any real registry, so garbage stays bounded. Anything but a regular file (a
    // FIFO, a link) reads as nothing, and so as broken, without waiting.
    errno = 0;
    const auto read = fileops::readRegular(ctx.paths.registryFile(), 1 << 20);
    const int error = errno;
    const QByteArray bytes = read.value_or(QByteArray());
    Step(ctx);  // opened
    const RegistryContent content = parseRegistry(bytes);
    Step(ctx);  // closed

    if (content.kind == RegistryContent::Kind::Broken)
        RegistryError(ctx, !read ? causes::ofPath(ctx.paths.registryFile(), error ? error : EINVAL)
                                 : causes::line(ctx.paths.registryFile(), QStringLiteral("内容を読み取れません")));
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
