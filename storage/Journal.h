#pragma once

// The intent journal: how Kennel survives being killed in the middle of a change.
//
// Before an operation changes the host's places or the pet folders in a way a kill could
// leave half done, it writes "Kennel.journal" into the program folder (UTF-8 lines
// "key=value", first "op=...", written whole through a temporary file). It removes the file
// when the operation is over. At the next start, after the single-instance, host-window and
// installation checks and before Kennel.ini is read, Session::recoverInterruptedWork finishes
// or undoes what the journal names, writes Kennel.ini to agree with the folders, and removes
// the journal. The steps are idempotent: a kill during recovery is recovered the same way at
// the start after.
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

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <variant>

class HostLayout;

namespace journal {

// The records, one per operation. A number the file does not give reads as -1, a text as
// empty; keys the record does not know are passed over.
struct Switch {
    int pet = -1;
    QString name;
};
struct NewPet {
    int pet = -1;
    QString name;
};
struct Delete {
    int pet = -1;
    int max = -1;
    QString name;
    QString trash;
};
struct Restore {
    int pet = -1;
    QString name;
    QString staging;
};
// Row k is mailbox k + 1: renamed (from, to), its pet folder made empty (made), or unused
// (remove); one of the three per row.
struct Upgrade {
    std::array<QString, 3> from, to, made, remove;
};
using Record = std::variant<Switch, NewPet, Delete, Restore, Upgrade>;

// The file's bytes for a record, and the record in bytes (nothing when they name no
// operation Kennel knows).
QByteArray format(const Record& record);
std::optional<Record> parse(const QByteArray& bytes);

} // namespace journal

// Kennel.journal in the program folder, and Kennel's working folders beside it.
class Journal {
public:
    explicit Journal(const HostLayout& layout);

    QString path() const;
    // Writes the record whole (fault point "write"); false when it could not be written.
    bool write(const journal::Record& record) const;
    // The record on disk; nothing when there is none, it names no operation, or it is not a
    // regular file (a FIFO is never waited on).
    std::optional<journal::Record> read() const;
    bool exists() const;
    // Removes the journal (fault point "delete"); true when it is gone.
    bool remove() const;

    // The restore's staging folder, no final "/".
    QString stagingFolder() const;
    // A free name for the trash of a deleted pet's folder.
    QString freeTrashFolder() const;
    // Every trash folder in the program folder (".kennel-deleted", ".kennel-deleted-2", ...).
    QStringList trashFolders() const;
    // True when path is a trash name of Kennel's own, directly in the program folder.
    bool isTrashFolder(const QString& path) const;

private:
    QString place(const QString& name) const;

    QString programFolder_;
    QString pathSep_;
};
