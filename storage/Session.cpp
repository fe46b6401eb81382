#include "storage/Session.h"

#include "ports/Causes.h"
#include "shell/FileOps.h"

#include <cerrno>

namespace {
// Far beyond any real registry, so garbage stays bounded.
constexpr qint64 kRegistryLimit = 1 << 20;
} // namespace

bool renameFolderNoReplace(const QString& from, const QString& to)
{
    return fileops::renameNoReplace(from, to);
}

Session::Session(Context& ctx, HostLayout layout)
    : ctx_(ctx), layout_(std::move(layout)), shell_(ctx, layout_.ProgramFolder), journal_(layout_)
{
}

bool Session::WriteRegistry(Steps steps)
{
    const auto bytes = formatRegistry(table_);
    // Whole or not at all; a link in its place is replaced, never written through.
    errno = 0;
    const bool ok = bytes && fileops::writeWhole(layout_.registryFile(), *bytes);
    const int error = errno;
    steps(9); // the gauge moves as the nine line groups are written
    if (!ok)
        ctx_.messages->critical(causes::below(
            kMsgRegistryWriteFailed,
            bytes ? QStringList{causes::line(layout_.registryFile(), error ? error : EIO)} : QStringList{}));
    return ok;
}

RegistryContent::Kind Session::ReadRegistry(Steps steps)
{
    // Anything but a regular file (a FIFO, a link) reads as nothing, and so as broken,
    // without waiting.
    errno = 0;
    const auto read = fileops::readRegular(layout_.registryFile(), kRegistryLimit);
    const int error = errno;
    const QByteArray bytes = read.value_or(QByteArray());
    steps(); // opened
    const RegistryContent content = parseRegistry(bytes);
    steps(); // closed
    switch (content.kind) {
    case RegistryContent::Kind::Broken:
        RegistryError(!read ? causes::ofPath(layout_.registryFile(), error ? error : EINVAL)
                            : causes::line(layout_.registryFile(), QStringLiteral("内容を読み取れません")));
    case RegistryContent::Kind::Version1:
        table_.CurrentUser = content.lastUser;
        break;
    case RegistryContent::Kind::Version2:
        table_ = content.table;
        steps(2); // current and max user
        steps(2); // names
        steps(5); // flags
        break;
    }
    return content.kind;
}

RegistryContent Session::registryOnDisk() const
{
    const auto bytes = fileops::readRegular(layout_.registryFile(), kRegistryLimit);
    return bytes ? parseRegistry(*bytes) : RegistryContent{};
}

void Session::RegistryError(const QString& cause)
{
    ctx_.fatal(causes::below(kMsgRegistryError, cause.isEmpty() ? QStringList{} : QStringList{cause}));
}

bool Session::writeTable(const PetTable& table, Steps steps)
{
    table_ = table;
    return WriteRegistry(steps);
}

bool Session::beginJournal(const journal::Record& record)
{
    errno = 0;
    if (journal_.write(record))
        return true;
    ctx_.messages->critical(causes::below(kMsgJournalNotWritten, {causes::line(journal_.path(), errno ? errno : EIO)}));
    return false;
}

void Session::endJournal()
{
    errno = 0;
    if (!journal_.remove())
        ctx_.messages->critical(
            causes::below(kMsgJournalNotRemoved, {causes::line(journal_.path(), errno ? errno : EIO)}));
}
