#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Helpers for tests that work on real folders.
namespace hostfolder {
// Writes bytes to base/relative, creating the folders on the way.
void write(const QString& base, const QString& relative, const QByteArray& bytes);
QByteArray read(const QString& path);
bool exists(const QString& path);
// Every file below folder, as relative path -> content (folders end in "/" with empty content).
QMap<QString, QByteArray> snapshot(const QString& folder);
// A host folder with the executable, all item places and one file in each (content tagged).
void makeHost(const QString& folder, const QString& tag, bool withSettings = true);
// A pet folder: the same data without the executable, the attachments folder and settings when asked.
void makePet(const QString& folder, const QString& tag, bool withAttachments = true, bool withSettings = true);
// A folder's snapshot without the backup information file, for comparing pet data.
QMap<QString, QByteArray> dataOf(const QString& folder);
}  // namespace hostfolder
