#pragma once

#include <QString>

struct Context;

// The single-instance lock of the host folder (platform/InstanceLock.h), as start-up finds it.
enum class InstanceLock { Held, HeldElsewhere, Failed };

// The first half of start-up, before the main window shows: a second copy of Kennel, a lock
// that could not be taken, and a running host end the program with their messages. Returns
// when start-up may go on.
void StartupRefusals(Context& ctx, InstanceLock lock);

// The start-up check, run once the main window is painted: installation check, recovery of
// work a kill interrupted (RecoverInterruptedWork), then the normal start (read Kennel.ini,
// store the current pet), the first run, or the upgrade. Leaves the main window idle, or
// ends the program.
void StartupCheck(Context& ctx);

inline constexpr const char* kMsgAlreadyRunning = "Kennel 2001 はすでに起動中です。";
inline constexpr const char* kMsgHostRunning = "Mew Mail 2001 がすでに起動中です。一度終了してください。";
inline constexpr const char* kMsgWrongFolder = "フォルダが違います。";
// Below the wrong folder's cause: how Kennel gets into the host's folder.
inline const QString kMsgUseSetup =
    QStringLiteral("Kennel はミューメールのフォルダから起動します。kennel --setup でそのフォルダに入れられます。");
inline const QString kMsgLockFailed =
    QStringLiteral("Kennel 2001 の二重起動を防ぐためのロックをこのフォルダに掛けられないため、終了します。"
                   "フォルダのアクセス権限を確認してから、もう一度起動してください。");
// %1: the pet's name.
inline const QString kMsgStoreFailed =
    QStringLiteral("ペット : %1 のデータをペットフォルダに保存できませんでした。データは本体のフォルダに残っています。"
                   "ディスクの空きや書き込み権限を確認してから、Kennel を起動し直してください。");
