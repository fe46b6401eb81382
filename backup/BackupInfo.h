#pragma once

#include <QDate>
#include <QString>

#include <optional>

class MessagePort;
class Session;

// The information file every backup carries in its root: "BackUp.ini", code page 932,
// CR LF, five lines (magic line, version, date, owner, pet). The name is matched without
// regard to letter case, as archives and folders made on Windows may spell it otherwise.

inline const QString kBackupInfoName = QStringLiteral("BackUp.ini");
inline const QString kBackupMagic = QStringLiteral("Kennel 2001 Pet Backup File");

struct BackupInfo {
    QString pet;
    QString master;
    QString date;  // as written ("yyyymmdd"), never validated
};

// The path of the entry in folder whose name equals name without regard to letter case
// (an exact spelling wins); empty when there is none. Only files count.
QString findFileNoCase(const QString& folder, const QString& name);

// The five lines for a pet, as bytes. A character that code page 932 cannot hold becomes "?".
QByteArray formatBackupInfo(const QString& pet, const QString& master, const QDate& date);

// Writes the file into the pet's folder (an existing file of another letter case is
// rewritten in place). Failures are silent: the backup then goes on without a fresh file.
void WriteBackupInfo(const Session& session, int index, const QDate& today = QDate::currentDate());

// The reading rule on bytes: the magic line, then the first line holding "Pet = ", then
// "Master = ", then "Backup Date = " (all without regard to case); the value runs from the
// first occurrence of the key to the end of that line, untrimmed. Nothing when one is missing.
std::optional<BackupInfo> parseBackupInfo(const QByteArray& bytes);

// Reads the file at path by that rule; on refusal shows refusal (critical icon) once.
std::optional<BackupInfo> ReadBackupInfo(MessagePort& messages, const QString& path, const QString& refusal);
