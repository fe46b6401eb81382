#pragma once

#include <QString>

#include <array>

class HostLayout;
class MessagePort;

// Upgrade of version 1.0 settings: up to three unnamed mailboxes, in the folders
// "ユーザー 1" to "ユーザー 3" (with a blank), become named pets in "ユーザー1", ... .
// The dialog ConvertForm gathers the names; Session::convertMailboxes converts.

// Which mailbox rows (row k is mailbox k + 1) become pets, and in which order.
struct MailboxPlan {
    // Row 0 always; another row when its folder holds the host's settings file, or when it
    // is the last used mailbox (whose live data is in the host's places).
    std::array<bool, 3> inUse{true, false, false};
    int lastUsed = 0; // row of the last used mailbox, 0 to 2

    int OldMax() const;            // highest row in use
    int petCount() const;          // rows in use
    int petIndexOf(int row) const; // the pet index a row becomes (rows in use, in order); -1 unused
};

// Looks at the mailbox folders; lastUser is the version 1.0 file's last used mailbox.
MailboxPlan scanMailboxes(const HostLayout& layout, int lastUser);

// The names typed for each row (rows not in use are ignored).
struct UpgradeNames {
    std::array<QString, 3> pet;
    std::array<QString, 3> master;
};

// The checks before anything changes, each with its message, in this order: a missing
// name, then the reserved name (both may be shown), then a pet name used twice, then a name
// Kennel.ini cannot hold. True when the names can be registered.
bool checkUpgradeNames(MessagePort& messages, const MailboxPlan& plan, const UpgradeNames& names);

// True when every version 2.0 pet folder the upgrade would create is free; otherwise tells
// the user which folder is in the way.
bool checkUpgradeFolders(MessagePort& messages, const HostLayout& layout, const MailboxPlan& plan);

inline const QString kMsgUpgradeDuplicatePet = QStringLiteral("同名のペットを複数登録できません。");
inline const QString kMsgUpgradeDone = QStringLiteral("Ver.2.0への更新が完了しました。");
// %1: the folder that is in the way.
inline const QString kMsgUpgradeFolderExists =
    QStringLiteral("フォルダ「%1」がすでに存在するため、設定を更新できません。"
                   "このフォルダを移動するか名前を変えてから、もう一度 O K を押してください。");
// %1 old name, %2 new name.
inline const QString kMsgUpgradeRenameFailed =
    QStringLiteral("フォルダ「%1」を「%2」に変更できませんでした。設定の更新を中止し、フォルダを元に戻しました。");
inline const QString kMsgUpgradeNotWritten = QStringLiteral("設定の更新を中止し、フォルダを元に戻しました。");
// %1 the folder that holds the data now, %2 the name it should have got back.
inline const QString kMsgUpgradeUndoFailed =
    QStringLiteral("フォルダ「%1」を「%2」に戻せませんでした。データはフォルダ「%1」に残っています。");
