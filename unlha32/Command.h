#pragma once

#include "Add.h"

#include <string>
#include <vector>

namespace unlha {

// A command string taken apart and checked.
struct Command {
    char letter = 0; // 'a', 'e' or 'x'
    std::string archive;
    std::vector<AddSource> groups; // names with the base folder in force before them
    bool folderEntries = true;     // -d
    bool overwrite = true;         // -f
    int effort = 4;                // -jm
    bool codePageMark = true;      // -gn
};

// Parses command; false with a reason for unknown commands or switches, unbalanced quotes or
// a missing archive name.
bool parseCommand(const std::string& command, Command& out, std::string& error);

} // namespace unlha
