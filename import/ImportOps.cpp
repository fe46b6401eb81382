#include "import/ImportOps.h"

#include "app/Causes.h"
#include "app/Context.h"
#include "app/Gauge.h"
#include "shell/ShellCopy.h"
#include "storage/FileOps.h"

#include <QDir>

#include <filesystem>
#include <system_error>

namespace importops {

namespace {

QString child(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

QString hostSnackFolder(const HostLayout& paths)
{
    return paths.place(items::kSnacks);
}

QString storedSnackFolder(const HostLayout& paths, int index)
{
    return paths.PetFolder(index) + QLatin1Char('/') + items::kSnacks;
}

QStringList snackFiles(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    // Without QDir::CaseSensitive the pattern matches "CAKE.PAC" as well, as the host's
    // own file names are written without regard to case.
    return dir.entryList({kSnackPattern}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QString importQuestion(const PetTable& table, bool allPets, int petIndex)
{
    if (table.Oyatsu)
        return kAskShared;
    const QString name =
        allPets ? kAllPetsName : (petIndex >= 0 && petIndex < kMaxPets ? table.Pet[petIndex] : QString());
    return name + kAskSuffix;
}

int onePetStepSize(int selectedCount, bool currentPet)
{
    const int planned = currentPet ? 2 * selectedCount : selectedCount;
    return planned > 0 ? 100 / planned : 0;
}

int allPetsStepSize(int maxUser, int selectedCount)
{
    const int planned = maxUser * selectedCount + 2;
    return planned > 0 ? 100 / planned : 0;
}

bool sameFolderOnDisk(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    std::error_code ec;
    const bool same =
        std::filesystem::equivalent(std::filesystem::path(a.toStdString()), std::filesystem::path(b.toStdString()), ec);
    return same && !ec;
}

} // namespace importops

using namespace importops;

QString UpperAscii(const QString& text)
{
    QString out = text;
    const qsizetype nul = out.indexOf(QChar(0));
    if (nul >= 0)
        out.truncate(nul);
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

bool TargetExists(const QString& path)
{
    return fileops::exists(path);
}

void SameFolderError(Context& ctx)
{
    ctx.critical(kMsgSameFolder);
}

namespace {

// The host's snack folder as source: refused when the texts agree without regard to the
// case of ASCII letters, or when both name the same folder on disk.
bool isHostSnackFolder(const Context& ctx, const QString& source)
{
    const QString host = hostSnackFolder(ctx.paths);
    return UpperAscii(source) == UpperAscii(host) || sameFolderOnDisk(source, host);
}

// A stored snack folder as source: the text must match exactly, or the folder on disk.
bool isStoredSnackFolder(const Context& ctx, const QString& source, int index)
{
    const QString stored = storedSnackFolder(ctx.paths, index);
    return source == stored || sameFolderOnDisk(source, stored);
}

// Refusals that come before any folder comparison.
bool sourceChosen(Context& ctx, const QString& source)
{
    if (UpperAscii(source).isEmpty()) {
        ctx.critical(kMsgNoSource);
        return false;
    }
    return true;
}

// One copy attempt: asks before replacing an existing file, copies, then one gauge step
// whether the file was copied or skipped. ShellCopy replaces the old file only once the
// new one is complete, so a failed copy leaves the pet's old snack in place.
void copyAttempt(Context& ctx, const QString& source, const QString& file, const QString& targetFolder,
                 const QString& question)
{
    const QString target = child(targetFolder, file);
    const bool go = !TargetExists(target) || ctx.askYesNo(question);
    if (go)
        ShellCopy(ctx, child(source, file), targetFolder + QLatin1Char('/'));
    Step(ctx);
}

void begin(Context& ctx, int stepSize)
{
    ctx.StepSize = stepSize;
    ProgressReset(ctx);
    if (ctx.view)
        ctx.view->BusyOn();
}

void finish(Context& ctx)
{
    ProgressFill(ctx);
    if (ctx.view)
        ctx.view->BusyOff();
    ctx.StepSize = 0;
    ctx.information(kMsgDone);
}

} // namespace

ImportResult ImportToPet(Context& ctx, int p, const QString& source, const QStringList& files)
{
    const FileErrorGroup oneBox(ctx);
    if (!sourceChosen(ctx, source))
        return ImportResult::Refused;
    if (p < 0 || p > ctx.table.MaxUser || p >= kMaxPets) {
        ctx.critical(kMsgNoTargetPet);
        return ImportResult::Refused;
    }
    const bool current = p == ctx.table.CurrentUser;
    if ((current && isHostSnackFolder(ctx, source)) || isStoredSnackFolder(ctx, source, p)) {
        SameFolderError(ctx);
        return ImportResult::Refused;
    }

    const QString stored = storedSnackFolder(ctx.paths, p);
    const QString host = hostSnackFolder(ctx.paths);
    begin(ctx, onePetStepSize(static_cast<int>(files.size()), current));
    for (const QString& file : files) {
        const QString question = file + kOverwriteSuffix;
        copyAttempt(ctx, source, file, stored, question);
        if (current)
            copyAttempt(ctx, source, file, host, question);
    }
    finish(ctx);
    return ImportResult::Done;
}

ImportResult ImportToAllPets(Context& ctx, const QString& source, const QStringList& files)
{
    const FileErrorGroup oneBox(ctx);
    if (!sourceChosen(ctx, source))
        return ImportResult::Refused;
    const PetTable& t = ctx.table;
    if (t.MaxUser < 0) {
        ctx.critical(kMsgNoPets);
        return ImportResult::Refused;
    }
    bool same = isHostSnackFolder(ctx, source);
    for (int j = 0; !same && j <= t.MaxUser && j < kMaxPets; ++j)
        same = isStoredSnackFolder(ctx, source, j);
    if (same) {
        SameFolderError(ctx);
        return ImportResult::Refused;
    }

    const QString host = hostSnackFolder(ctx.paths);
    // With no current pet the host's snacks belong to no registered pet: the question then
    // names only the file.
    const bool hasCurrent = t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser;
    begin(ctx, allPetsStepSize(t.MaxUser, static_cast<int>(files.size())));
    for (const QString& file : files) {
        const QString hostQuestion = hasCurrent
                                         ? t.Pet[t.CurrentUser] + QStringLiteral(" に ") + file + kOverwriteSuffix
                                         : file + kOverwriteSuffix;
        copyAttempt(ctx, source, file, host, hostQuestion);
        for (int j = 0; j <= t.MaxUser && j < kMaxPets; ++j)
            copyAttempt(ctx, source, file, storedSnackFolder(ctx.paths, j),
                        t.Pet[j] + QStringLiteral(" に ") + file + kOverwriteSuffix);
    }
    finish(ctx);
    return ImportResult::Done;
}
