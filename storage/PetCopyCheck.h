#pragma once

#include <QString>

// Checks after a copy of pet data. A pet-shaped folder (the host folder, a pet folder or the
// template) holds the friends book and the two settings files in its root and the six item
// folders; the storage copies carry exactly these files and nothing else.

// True when `copy` holds the same pet data as `original`: each of the three root files is
// present in both with equal content or absent from both, and each item folder holds the
// same files (sub-folders aside) with equal content; a missing item folder counts as empty.
// Files in the root other than the three are not compared: the copies never carry them.
// "Equal content" is SameCopiedFile (ShellCopy.h): the same bytes, or the same link text.
bool samePetData(const QString& original, const QString& copy);

// The same test for one item, named as in items:: (a root file or an item folder).
bool samePetItem(const QString& original, const QString& copy, const QString& item);
