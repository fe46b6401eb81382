#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Kennel's command line. It is read before any window or check exists, so that --help,
// --version, --setup with a folder and a wrong option need no display. Qt's own options
// (-platform, -style, ...) pass through to the application.
struct CommandLine {
    enum class Action { Run, Help, Version, Setup, Wrong };
    Action action = Action::Run;
    QString hostFolder; // Setup: the folder named, or empty to choose one in a window
    QString complaint;  // Wrong: the one line that says what is wrong
};

// arguments: without the program's name.
CommandLine parseCommandLine(const QStringList& arguments);
CommandLine parseCommandLine(int argc, char* argv[]);

QString helpText();
QString versionText();

// Help, version and a wrong option (--setup without a folder where there is no display counts
// as one): prints the answer (standard output, or standard error for a wrong option) and gives
// the exit code (0, or 2 for a wrong option). Nothing for the rest.
std::optional<int> answerCommandLine(const CommandLine& line);
