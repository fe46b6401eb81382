#pragma once

// The intent journal: how Kennel survives being killed in the middle of a change.
//
// Before an operation changes the host's places or the pet folders in a way a kill could
// leave half done, it writes "Kennel.journal" into the program folder (UTF-8 lines
// "key=value", first "op=...", written whole through a temporary file). It removes the file
// when the operation is over. At the next start, after the single-instance, host-window and
// installation checks and before Kennel.ini is read, RecoverInterruptedWork finishes or
// undoes what the journal names, writes Kennel.ini to agree with the folders, and removes
// the journal. The steps below are idempotent: a kill during recovery is recovered the same
// way at the start after.
//
//   op=switch  pet=i name=N        Pet i's folder was being loaded into the host's places.
//                                  Recovery loads it again and writes Kennel.ini naming it
//                                  (when pet i has no folder, it writes no pet current, so the
//                                  mixed places are stored nowhere; when Kennel.ini does not
//                                  list pet i as N, the journal is not this file's: ignored).
//   op=newpet  pet=n name=N        A new pet n was registered and the template was being put
//                                  into the host's places. When Kennel.ini lists pet n as N
//                                  and current, recovery puts the template in again.
//   op=delete  pet=c max=m name=N trash=T
//                                  Pet c is being deleted: its folder goes to the hidden name
//                                  T, then folders c+2.. are renamed one number down, then
//                                  Kennel.ini is written, then T is removed. While Kennel.ini
//                                  still lists m+1 pets with N at c, recovery redoes the
//                                  missing renames in order and writes the shrunk table; then
//                                  T goes.
//   op=restore pet=n name=N staging=S
//                                  The restored data was renamed from S to pet folder n and
//                                  Kennel.ini was being written. Unless Kennel.ini lists pet
//                                  n as N, the folder goes back to S and S is removed.
//   op=upgrade from0=A to0=B ... made0=C ... remove0=D ...
//                                  The version 1.0 mailbox folders A are renamed to pet
//                                  folders B (C: made empty). While Kennel.ini is still the
//                                  version 1.0 file, recovery renames them back and removes
//                                  the made ones, so the upgrade is offered again; once the
//                                  version 2.0 file is written, it removes the unused
//                                  mailboxes D and takes the template snapshot.
//
// Kennel's own working names start with ".kennel-" in the program folder (the restore's
// staging folder, the trash of a deleted pet); a pet folder is always "ユーザー" and a
// number, so the two never meet. A leftover staging folder or trash is removed at start-up.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class HostLayout;
struct Context;

namespace journal {

struct Entry {
    QString op;
    QList<QPair<QString, QString>> values;

    QString value(const QString& key) const;
    int number(const QString& key, int fallback = -1) const;
    bool has(const QString& key) const;
};

QString path(const HostLayout& paths);

// Writes the journal whole (fault point "write"); false when it could not be written.
bool write(const HostLayout& paths, const Entry& entry);
// The journal on disk; nothing when there is none or it names no operation.
std::optional<Entry> read(const HostLayout& paths);
// Removes the journal (fault point "delete"); true when it is gone.
bool remove(const HostLayout& paths);

// Kennel's working folders in the program folder.
QString stagingFolder(const HostLayout& paths);  // restore staging, no final "/"
// A free name for the trash of a deleted pet's folder.
QString freeTrashFolder(const HostLayout& paths);
// Every trash folder in the program folder (".kennel-deleted", ".kennel-deleted-2", ...).
QStringList trashFolders(const HostLayout& paths);

}  // namespace journal

// Writes the journal; tells the user and returns false when it cannot be written, in which
// case the caller changes nothing.
bool BeginJournal(Context& ctx, const journal::Entry& entry);
// Removes the journal; tells the user when it stays.
void EndJournal(Context& ctx);

// Finishes or undoes an operation a kill interrupted (see above) and removes a leftover
// staging folder. Returns false when Kennel.ini could not be brought into line with the
// folders; start-up must then end (kMsgRecoveryFailed) without storing anything.
bool RecoverInterruptedWork(Context& ctx);

inline const QString kMsgJournalNotWritten =
    QStringLiteral("作業記録ファイル Kennel.journal を書き込めないため、処理を中止しました。"
                   "ディスクの空きやフォルダの書き込み権限を確認してください。");
inline const QString kMsgJournalNotRemoved =
    QStringLiteral("作業記録ファイル Kennel.journal を削除できませんでした。"
                   "Kennel を終了し、ディスクの空きやフォルダの書き込み権限を確認してください。");
inline const QString kMsgRecoveryFailed =
    QStringLiteral("前回中断した処理を完了できませんでした。強制終了します。"
                   "ディスクの空きやフォルダの書き込み権限を確認してから、もう一度起動してください。");
inline const QString kMsgRecoveredLoadFailed =
    QStringLiteral("前回中断したペットの切り替えを完了できませんでした。ペットフォルダのデータはそのまま残っています。"
                   "ディスクの空きや書き込み権限を確認してから、ペットを選び直してください。");
