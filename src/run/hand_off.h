// What a run leaves in the installation folder, its own file, its log and the folder, handed to a
// copy of the program in the temporary folder that removes them once the run has ended.
#ifndef RUN_HAND_OFF_H
#define RUN_HAND_OFF_H

#include "platform/platform.h"
#include "uninstall_log/removal_list.h"

// Opens the copy's command line, after the copy's own name; nothing else starts with it.
static const char kHandOffMarker[] = "/pxhandoff";
// The copy gives up waiting for the run after this long.
enum { kHandOffWaitMilliseconds = 30000 };
// A fresh file may be held for a moment, by an antivirus program for instance.
enum { kHandOffDeleteTries = 10, kHandOffTryPauseMilliseconds = 500 };

// The most folders above the installation folder the copy removes: a path of 259 bytes has no
// more names.
enum { kMostLevelsAbove = 64 };

// Which file a path named when the run looked, as GetFileInformationByHandle tells it; all 0
// for none.
struct FileIdentity {
    DWORD volumeSerial;
    DWORD fileIndexHigh, fileIndexLow;
    DWORD sizeHigh, sizeLow;
    FILETIME writeTime;
};

// What the copy is told: the run's process, the identity of the run's file and of its log, how
// many folders above go, and the run's path.
struct HandOff {
    HANDLE runProcess;           // inherited from the run: SYNCHRONIZE, PROCESS_QUERY_INFORMATION
    FileIdentity run;            // the run's own file
    FileIdentity log;            // its log beside it, all 0 when there was none
    int levelsAbove;             // folders above the installation folder that a trusted log listed
    char runPath[MAX_PATH];      // the run's own file, a full path
};

// Cuts a full path without its trailing separator to its parent, read with the double-byte rules
// (a trail byte may be 0x5C, the separator's); 0, and the path unchanged, when the parent would be
// the drive's root, which is never removed.
int CutLastComponent(char* path);

// Called before the removal pass empties the list: keeps the run's path and counts the folders
// above the installation folder that a trusted log listed, nearest first, which the copy
// removes while they are empty.
void PrepareHandOff(const char* modulePath, const RemovalList* list);

// The removal pass left some of the log's entries: the uninstaller and its log stay where they
// are, so that a later run can finish, and nothing is handed off.
void KeepUninstallerInPlace(void);

// At the end of the main road. Starts the copy. Where none could be started and restartComing
// (the restart question was answered Yes, so that a restart follows at once), the uninstaller,
// its log and its folder are named for that restart instead; otherwise they stay, for a later
// run: a record that waits for some later restart could outlive a reinstall and delete its
// uninstaller. Nothing happens before PrepareHandOff, nor after KeepUninstallerInPlace.
void HandOffLeftovers(int restartComing);

// 1 when the command line (the part after the program's name) is a hand-off, filled into
// handOff; 0 for any other.
int ReadHandOff(const char* commandLine, HandOff* handOff);

// The copy's whole run: names itself and its folder for the next restart, waits for the run to
// end, then removes what it left. Shows nothing; removes a file only through a handle that shows
// it is the one described, and a folder only while it is held and no link.
void RunHandOffCopy(const HandOff* handOff);

#endif
