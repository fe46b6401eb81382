#pragma once

#include "ports/Gauge.h"
#include "ports/Ports.h"

#include <QString>

struct Context;
class Session;

// The main window as start-up needs it: the pet selector, and the dialogs of a first run
// and of the upgrade. Each dialog is given the gauge points of its storage steps.
class StartupWindow {
public:
    virtual ~StartupWindow() = default;
    // Fills the pet selector from the table and shows the current pet.
    virtual void showPets() = 0;
    virtual void showConfigForm() = 0;
    // True when a pet was registered.
    virtual bool showNewForm(Steps steps) = 0;
    virtual bool showInitializeForm(Steps steps) = 0;
    virtual void showConvertForm(Steps steps) = 0;
};

// What the main window does once start-up is over.
enum class StartupOutcome {
    Idle,       // wait for commands
    LaunchHost, // a first run registered a new pet: start the host for it
};

// The first half of start-up, before the main window shows: a second copy of Kennel, a lock
// that could not be taken, and a running host end the program with their messages. Returns
// when start-up may go on.
// lockCause: why the lock could not be taken (a cause line, ports/Causes.h), shown below the
// refusal.
void StartupRefusals(Context& ctx, InstanceLock lock, const QString& lockCause = {});

// The start-up check, run once the main window is painted (busy, its gauge at 0):
// installation check, recovery of work a kill interrupted, then the normal start (read
// Kennel.ini, store the current pet), the first run, or the upgrade. The caller makes the
// window idle afterwards; the program may have ended instead.
StartupOutcome StartupCheck(Session& session, StartupWindow& window);

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
