#pragma once

#include "app/HostSetup.h"

// kennel --setup without a folder (the menu entry of an installed Kennel): asks for the host
// folder in a window, sets it up, says what was done and starts the copy; a refused folder is
// told and the folder is asked again, until one is set up or the choice is cancelled.
// Returns the program's exit code.
int setupWithWindows(const SetupSources& from);
