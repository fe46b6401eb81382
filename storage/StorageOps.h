#pragma once

#include <QString>

struct Context;

// The operations that move a pet's data between the host's places, the pet folders and
// the template "Default". Each advances the gauge by ctx.StepSize per step; none asks the
// user anything (a failed copy is reported by ShellCopy, and the operation goes on). The
// ones that change data answer whether every copy, deletion and folder they made succeeded.
// Steps: Snapshot 10, InitNew 7, Store 16 (0 without a current pet), Load 9,
// CopyPetFolder 16, PreparePetFolder 0 or 14, RemovePetFolder 14.

// Host places into "Default" (nothing cleared first).
bool SnapshotDefaultData(Context& ctx);
// A new pet starts from the template; shared kinds stay; the settings files go.
bool InitNewPetData(Context& ctx);
// Host places into the current pet's folder, every kind.
bool StorePetData(Context& ctx);
// The current pet's folder into the host places, unshared kinds and the settings files.
// Ends the program with a message when the folder is missing (nothing touched then).
bool LoadPetData(Context& ctx);
// Folders below end with "/".
bool CopyPetFolder(Context& ctx, const QString& source, const QString& target);
void PreparePetFolder(Context& ctx, const QString& folder);
void RemovePetFolder(Context& ctx, const QString& folder);

inline const QString kMsgPetFolderMissing = QStringLiteral("ユーザーフォルダの読み込みエラー発生。強制終了します。");
// A new pet whose template did not arrive whole in the host's places is not registered.
inline const QString kMsgNewPetNotReady =
    QStringLiteral("新規ペットのデータを準備できなかったため、登録を取り消しました。"
                   "ディスクの空きや書き込み権限を確認してから、もう一度登録してください。");
