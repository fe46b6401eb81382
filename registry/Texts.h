#pragma once

#include <QString>

// The selector's new-pet entry and the refusals of the name rules that every registration
// shares (the new-pet and first-run dialogs, the upgrade, the restore).
namespace texts {
inline const QString kNewPetEntry = QStringLiteral("新規ペット");
inline const QString kMsgEnterNames = QStringLiteral("名前を入力してください。");
inline const QString kMsgReservedName = QStringLiteral("そのペット名は使用できません。");
inline const QString kMsgDuplicatePet = QStringLiteral("同名のペットがすでに存在します。");
inline const QString kMsgTooManyPets = QStringLiteral("これ以上ペットを増やすことはできません。");
// A name Kennel.ini cannot hold (line break, or a character outside code page 932).
inline const QString kMsgUnstorableName =
    QStringLiteral("改行や Shift-JIS で表せない文字、または設定ファイルの項目名（「Toys = 」など）を含む名前は登録できません。");
} // namespace texts
