#pragma once

#include <QString>
#include <QStringList>

namespace texts {
inline const QString kHostExe = QStringLiteral("Mewmail20.exe");
inline const QString kRegistryFile = QStringLiteral("Kennel.ini");
inline const QString kLibraryFile = QStringLiteral("libunlha32.so");
} // namespace texts

// Names of the host's data places, the same in the host folder, every pet folder and "Default".
namespace items {
inline const QString kToys = QStringLiteral("おもちゃ");
inline const QString kSnacks = QStringLiteral("おやつ");
inline const QString kInbox = QStringLiteral("受信フォルダ");
inline const QString kOutbox = QStringLiteral("送信フォルダ");
inline const QString kAttachments = QStringLiteral("添付書類ﾌｫﾙﾀﾞ");  // half-width katakana
inline const QString kTreasures = QStringLiteral("宝物");
inline const QString kFriends = QStringLiteral("おともだち帳");
inline const QString kSettings = QStringLiteral("Mewmail設定.mwc");
inline const QString kSettingsBackup = QStringLiteral("Mewmail設定.bak");
inline const QString kDefaultFolder = QStringLiteral("Default");
inline const QString kUserPrefix = QStringLiteral("ユーザー");

// The six item folders in the order in which folders are made, cleared and removed.
inline const QStringList kFolderOrder = {kToys, kSnacks, kInbox, kOutbox, kAttachments, kTreasures};
}  // namespace items

enum class ItemKind { Toys, Snacks, Inbox, Outbox, Attachments, Treasures, Friends, Settings, SettingsBackup };

// The paths of one installation. ProgramFolder has no final "/" unless it is the root;
// PathSep is "/" or, at the root, empty. Every path is built by plain concatenation.
class HostLayout {
public:
    HostLayout() = default;
    explicit HostLayout(const QString& programFolder);

    QString ProgramFolder;
    QString PathSep;
    QString UserFolder;  // prefix of every pet folder: ProgramFolder + PathSep + "ユーザー"

    // ProgramFolder + PathSep + name
    QString place(const QString& name) const { return ProgramFolder + PathSep + name; }
    QString DefaultFolder() const { return place(items::kDefaultFolder); }
    // Folder of pet index i: UserFolder followed by i + 1, no final separator.
    QString PetFolder(int index) const { return UserFolder + QString::number(index + 1); }
    // Version 1.0 mailbox folder n (1 to 3): UserFolder, a blank, n.
    QString OldPetFolder(int n) const { return UserFolder + QLatin1Char(' ') + QString::number(n); }
    QString registryFile() const;
    QString hostExecutable() const;
};
