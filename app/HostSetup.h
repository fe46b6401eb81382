#pragma once

#include <QString>
#include <QStringList>

// Puts Kennel into a host folder, where it must live: copies the program and, when it lies
// beside the program, the archiver library; writes a desktop entry that starts the copy, and
// the program's icon into the user's icon theme. Kennel.ini, the pet folders and the host's
// data are never written. A folder without "Mewmail20.exe" is refused.
struct SetupSources {
    QString program;    // the kennel executable to copy (the running one)
    QString iconFolder; // holds kennel-SIZE.png
};

struct SetupOutcome {
    bool done = false;
    QStringList lines;   // what was done, or why nothing was (one line each)
    QStringList notes;   // among them, what the user should know besides (a missing library)
    QString program;     // the copy in the host folder, which the desktop entry starts
    QString desktopFile; // the desktop entry written
};

// dataHome: the user's data folder (see dataHomeFolder); the entry goes into its applications/.
SetupOutcome setupHostFolder(const SetupSources& from, const QString& hostFolder, const QString& dataHome);

// For the command line: the lines on standard output when done, else on standard error after
// "kennel: "; the exit code (0 done, 1 not).
int printSetup(const SetupOutcome& outcome);

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
QString dataHomeFolder();

// The desktop entry that starts program; its Exec line quotes the path as desktop entries require.
QString desktopEntryText(const QString& program);
QString quoteExecArgument(const QString& argument);
