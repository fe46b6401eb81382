#pragma once

#include <QString>
#include <QStringList>

class HostLayout;
class Session;
struct PetTable;

// Snack import: copies "*.pac" files from a folder the user chose into the stored snack
// folder of one pet or of every pet, and into the host's snack folder for the pet whose
// data is in the host's places. Widget-free; the dialog (ImportForm) only gathers the
// source folder, the selected file names and the target.
namespace importops {
inline const QString kMsgNoPets = QStringLiteral("インポートするためのペットが存在しません。");
inline const QString kMsgSameFolder = QStringLiteral("インポート元フォルダとインポート先フォルダが同一フォルダです。");
inline const QString kMsgDone = QStringLiteral("インポートが完了しました。");
inline const QString kMsgNoSource = QStringLiteral(
    "インポート元のフォルダが選択されていません。「参照」ボタンでおやつファイルのあるフォルダを選択してください。");
inline const QString kMsgNoTargetPet =
    QStringLiteral("インポート先のペットが登録されていません。ペットを選び直してください。");
inline const QString kOverwriteSuffix = QStringLiteral(" はすでに存在します。上書きしますか？");
inline const QString kAllPetsName = QStringLiteral("すべてのペット");
inline const QString kAskSuffix = QStringLiteral("におやつをインポートします。よろしいですか？");
inline const QString kAskShared = QStringLiteral("おやつをインポートします。よろしいですか？");
inline const QString kSnackPattern = QStringLiteral("*.pac");

// The host's snack folder, and the stored snack folder of pet index i (no final "/").
QString hostSnackFolder(const HostLayout& paths);
QString storedSnackFolder(const HostLayout& paths, int index);

// The names of the snack files ("*.pac", letter case ignored) directly in folder, sorted
// by name without regard to case. Folders and hidden files are not listed.
QStringList snackFiles(const QString& folder);

// The question BtnImport asks before an import. petIndex is the one target pet when
// allPets is false; it is not used when snacks are shared.
QString importQuestion(const PetTable& table, bool allPets, int petIndex);

// Gauge points per copy attempt. One pet: 100 / (2n when it is the current pet, else n),
// 0 when nothing is planned. All pets: 100 / (MaxUser * n + 2).
int onePetStepSize(int selectedCount, bool currentPet);
int allPetsStepSize(int maxUser, int selectedCount);

// True when both paths name the same existing folder (links and other spellings count).
bool sameFolderOnDisk(const QString& a, const QString& b);
} // namespace importops

// Turns a-z into A-Z; every other character stays. Folder texts are compared so.
QString UpperAscii(const QString& text);

enum class ImportResult { Done, Refused };

// Imports the files (names in list order, directly in source) into pet p's stored snack
// folder and, when p is the current pet, into the host's snack folder too. An existing
// target is replaced only when the user says so; each attempt, copied or skipped, moves
// the main window's gauge by one step. Refuses (message, nothing copied, gauge untouched)
// when no source folder is chosen, p is not a registered pet, or the source is a target.
ImportResult ImportToPet(Session& session, int p, const QString& source, const QStringList& files);

// Imports the files into the host's snack folder and into every pet's stored snack folder.
ImportResult ImportToAllPets(Session& session, const QString& source, const QStringList& files);
