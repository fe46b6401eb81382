#pragma once

#include "ports/Gauge.h"

#include <QString>

class Session;

// The operations that move a pet's data between the host's places, the pet folders and the
// template "Default". Each advances the gauge by steps per step; none asks the user anything
// (a failed copy is reported by ShellCopy, and the operation goes on). The ones that change
// data answer whether every copy, deletion and folder they made succeeded.
// Steps: Snapshot 10, InitNew 7, Store 16 (0 without a current pet), Load 9,
// PreparePetFolder 0 or 14, RemovePetFolder 14.

// Host places into "Default" (nothing cleared first).
bool SnapshotDefaultData(Session& s, Steps steps);
// A new pet starts from the template; shared kinds stay; the settings files go.
bool InitNewPetData(Session& s, Steps steps);
// Host places into the current pet's folder, every kind.
bool StorePetData(Session& s, Steps steps);
// The current pet's folder into the host places, unshared kinds and the settings files.
// Ends the program with a message when the folder is missing (nothing touched then).
bool LoadPetData(Session& s, Steps steps);
// Folders below end with "/". An empty pet folder: an earlier one at that place goes first.
void PreparePetFolder(const QString& folder, Steps steps);
void RemovePetFolder(const QString& folder, Steps steps);

inline const QString kMsgPetFolderMissing = QStringLiteral("ユーザーフォルダの読み込みエラー発生。強制終了します。");
