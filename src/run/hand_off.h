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

// What the copy is told: the run's process, the identity of the run's file and its path.
struct HandOff {
    HANDLE runProcess;           // inherited from the run: SYNCHRONIZE, PROCESS_QUERY_INFORMATION
    DWORD volumeSerial;          // of the run's file, as GetFileInformationByHandle gives them
    DWORD fileIndexHigh, fileIndexLow;
    DWORD sizeHigh, sizeLow;
    FILETIME writeTime;
    int levelsAbove;             // folders above the installation folder that the log listed
    char runPath[MAX_PATH];      // the run's own file, a full path
};

// Cuts a full path without its trailing separator to its parent, read with the double-byte rules
// (a trail byte may be 0x5C, the separator's); 0, and the path unchanged, when the parent would be
// the drive's root, which is never removed.
int CutLastComponent(char* path);

// Called before the removal pass empties the list: keeps the run's path and counts the folders
// above the installation folder that the log listed, nearest first, which the copy removes
// while they are empty.
void PrepareHandOff(const char* modulePath, const RemovalList* list);

// At the end of the main road. Starts the copy; restartComing (the restart question was
// answered Yes) names the uninstaller, its log and its folder for the next restart as well, as
// the system may end the copy before it runs. Where no copy could be started they are named in
// any case. Nothing happens before PrepareHandOff.
void HandOffLeftovers(int restartComing);

// 1 when the command line (the part after the program's name) is a hand-off, filled into
// handOff; 0 for any other.
int ReadHandOff(const char* commandLine, HandOff* handOff);

// The copy's whole run: waits for the run to end, removes what it left and names the copy and
// its folder for the next restart. Shows nothing; removes nothing unless the run's process has
// ended and the file at the run's path is the one described.
void RunHandOffCopy(const HandOff* handOff);

#endif
