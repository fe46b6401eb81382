#pragma once

#include "Progress.h"

#include <string>
#include <vector>

namespace unlha {

// One argument group of the add command: names relative to a base folder.
struct AddSource {
    std::string base;               // folder the names are taken from ("" = current folder)
    std::vector<std::string> names; // a wildcard adds the base folder's files; a folder name
                                    // adds the folder with everything below it
};

struct AddOptions {
    std::string archive;
    std::vector<AddSource> sources;
    int effort = 4;            // 0 stores without compression
    bool folderEntries = true; // store "-lhd-" entries for folders
    bool codePageMark = true;  // write the code page 932 extended header
    int threads = 0;           // worker threads; 0 = one per core, at most four
};

// Creates (or updates) the archive. Members of an existing archive whose paths are not added
// again are kept. The new archive is written under a temporary name beside the old one and
// renamed over it only when complete. Files are read and packed in segments on worker
// threads, so memory stays bounded whatever their sizes; the output does not depend on the
// number of threads. progress counts the bytes of the files added. Returns 0 or one of the
// UNLHA_E_* codes (UNLHA_E_CANCELLED when progress cancelled: nothing is left behind).
int addToArchive(const AddOptions& options, std::string& message, const Progress& progress = {});

} // namespace unlha
