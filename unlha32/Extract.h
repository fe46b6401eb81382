#pragma once

#include "Progress.h"

#include <string>
#include <vector>

namespace unlha {

struct ExtractOptions {
    std::string target;                // folder the members land in; created when missing
    std::vector<std::string> patterns; // matched against stored paths; empty = every member
    bool keepPaths = true;             // "x" recreates stored folders, "e" flattens
    bool createFolderEntries = true;   // also create empty folders stored as entries
    bool overwrite = true;             // replace existing files
};

// Extracts the selected members below options.target. Nothing is written before every selected
// member has been checked: one unsafe member refuses the whole run, and so do members that
// together break the archive's ratio limit, a file where another member needs a folder, more
// data than the target's disk has free, and a file or link in the target where a folder goes.
// Each file is decoded into a temporary file created with O_EXCL in its final folder and
// renamed over the final name only after its CRC matched; folders are entered with O_NOFOLLOW,
// so a link inside the target can not lead outside it. Modes and owners stored in the archive
// are never applied; files get the stored modification time; data a folder member carries
// (OS/2 extended attributes) is checked by the archive check but never written.
// With keepPaths false and a pattern without wildcards, the file is written under the name the
// pattern gives, so that a caller asking for "BackUp.ini" finds it under that name whatever
// letter case the archive used. progress counts the bytes of the files written; when it
// cancels, the file being written is removed and the files before it stay. Returns 0 or one of
// the UNLHA_E_* codes; message explains.
int extractArchive(const std::string& archivePath, const ExtractOptions& options, std::string& message,
                   const Progress& progress = {});

} // namespace unlha
