#pragma once

#include <QString>

// Fixed names and texts shared by several windows.
namespace texts {
inline const QString kProgramTitle = QStringLiteral("Kennel 2001");
inline const QString kNewPetEntry = QStringLiteral("新規ペット");
inline const QString kHostExe = QStringLiteral("Mewmail20.exe");
inline const QString kHostTitle = QStringLiteral("Mewmail for Windows ver. 2.0");
inline const QString kReceivingTitle = QStringLiteral("メールを受信中");
inline const QString kRegistryFile = QStringLiteral("Kennel.ini");
inline const QString kLibraryFile = QStringLiteral("libunlha32.so");

// Messages used by more than one window.
inline const QString kMsgEnterNames = QStringLiteral("名前を入力してください。");
inline const QString kMsgReservedName = QStringLiteral("そのペット名は使用できません。");
inline const QString kMsgDuplicatePet = QStringLiteral("同名のペットがすでに存在します。");
inline const QString kMsgFileError = QStringLiteral("ファイルエラーが発生しました。");
// The answer to closing the program while files are being processed.
inline const QString kMsgFileProcessing = QStringLiteral("ファイル処理中です。しばらくしてから終了してください。");
inline const QString kMsgTooManyPets = QStringLiteral("これ以上ペットを増やすことはできません。");
// A name Kennel.ini cannot hold (line break, or a character outside code page 932).
inline const QString kMsgUnstorableName =
    QStringLiteral("改行や Shift-JIS で表せない文字、または設定ファイルの項目名（「Toys = 」など）を含む名前は登録できません。");
}  // namespace texts
