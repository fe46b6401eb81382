#include "import/ImportOps.h"

#include "shell/FileOps.h"
#include "storage/Session.h"
#include "ports/Causes.h"

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
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

namespace {

// The host's snack folder as source: refused when the texts agree without regard to the
// case of ASCII letters, or when both name the same folder on disk.
bool isHostSnackFolder(const Session& s, const QString& source)
{
    const QString host = hostSnackFolder(s.layout());
    return UpperAscii(source) == UpperAscii(host) || sameFolderOnDisk(source, host);
}

// A stored snack folder as source: the text must match exactly, or the folder on disk.
bool isStoredSnackFolder(const Session& s, const QString& source, int index)
{
    const QString stored = storedSnackFolder(s.layout(), index);
    return source == stored || sameFolderOnDisk(source, stored);
}

// Refusals that come before any folder comparison.
bool sourceChosen(MessagePort& messages, const QString& source)
{
    if (source.isEmpty()) {
        messages.critical(kMsgNoSource);
        return false;
    }
    return true;
}

// One copy attempt: asks before replacing an existing file, copies, then one gauge step
// whether the file was copied or skipped. ShellCopy replaces the old file only once the
// new one is complete, so a failed copy leaves the pet's old snack in place.
void copyAttempt(Session& s, const QString& source, const QString& file, const QString& targetFolder,
                 const QString& question, Steps steps)
{
    const QString target = child(targetFolder, file);
    const bool go = !fileops::exists(target) || s.context().messages->askYesNo(question);
    if (go)
        s.shell().ShellCopy(child(source, file), targetFolder + QLatin1Char('/'));
    steps();
}

} // namespace

ImportResult ImportToPet(Session& session, int p, const QString& source, const QStringList& files)
{
    MessagePort& messages = *session.context().messages;
    const PetTable& t = session.table();
    const FileErrorGroup oneBox(messages);
    if (!sourceChosen(messages, source))
        return ImportResult::Refused;
    if (p < 0 || p > t.MaxUser || p >= kMaxPets) {
        messages.critical(kMsgNoTargetPet);
        return ImportResult::Refused;
    }
    const bool current = p == t.CurrentUser;
    if ((current && isHostSnackFolder(session, source)) || isStoredSnackFolder(session, source, p)) {
        messages.critical(kMsgSameFolder);
        return ImportResult::Refused;
    }

    const QString stored = storedSnackFolder(session.layout(), p);
    const QString host = hostSnackFolder(session.layout());
    {
        const BusyScope busy(session.context());
        const Steps steps(session.context(), onePetStepSize(static_cast<int>(files.size()), current));
        for (const QString& file : files) {
            const QString question = file + kOverwriteSuffix;
            copyAttempt(session, source, file, stored, question, steps);
            if (current)
                copyAttempt(session, source, file, host, question, steps);
        }
    }
    messages.information(kMsgDone);
    return ImportResult::Done;
}

ImportResult ImportToAllPets(Session& session, const QString& source, const QStringList& files)
{
    MessagePort& messages = *session.context().messages;
    const PetTable& t = session.table();
    const FileErrorGroup oneBox(messages);
    if (!sourceChosen(messages, source))
        return ImportResult::Refused;
    if (t.MaxUser < 0) {
        messages.critical(kMsgNoPets);
        return ImportResult::Refused;
    }
    bool same = isHostSnackFolder(session, source);
    for (int j = 0; !same && j <= t.MaxUser && j < kMaxPets; ++j)
        same = isStoredSnackFolder(session, source, j);
    if (same) {
        messages.critical(kMsgSameFolder);
        return ImportResult::Refused;
    }

    const QString host = hostSnackFolder(session.layout());
    // With no current pet the host's snacks belong to no registered pet: the question then
    // names only the file.
    const bool hasCurrent = t.CurrentUser >= 0 && t.CurrentUser <= t.MaxUser;
    {
        const BusyScope busy(session.context());
        const Steps steps(session.context(), allPetsStepSize(t.MaxUser, static_cast<int>(files.size())));
        for (const QString& file : files) {
            const QString hostQuestion = hasCurrent ? t.Pet[t.CurrentUser] + QStringLiteral(" に ") + file + kOverwriteSuffix
                                                    : file + kOverwriteSuffix;
            copyAttempt(session, source, file, host, hostQuestion, steps);
            for (int j = 0; j <= t.MaxUser && j < kMaxPets; ++j)
                copyAttempt(session, source, file, storedSnackFolder(session.layout(), j),
                            t.Pet[j] + QStringLiteral(" に ") + file + kOverwriteSuffix, steps);
        }
    }
    messages.information(kMsgDone);
    return ImportResult::Done;
}
