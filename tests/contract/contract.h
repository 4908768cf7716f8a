// The contract between the simulated Windows and the real one: the rows, the one runner, and the
// few machine operations each build does its own way (scratch folder, setup, inspection, input).
//
// The rows call the Win32 operations by their real names on both builds; the machine operations
// below have one body per build: contract_machine_sim.cpp (the host, on the simulated machine)
// and contract_machine_win32.cpp (the real API, under Wine or Windows).
#ifndef TESTS_CONTRACT_CONTRACT_H
#define TESTS_CONTRACT_CONTRACT_H

#include "platform/platform.h"

// What a row saw, written as "field=value" words in a fixed order so that a row's expectation is
// one string and a disagreement prints as two readable lines.
struct Observation {
    char text[1024];
    size_t length;
};

// Appends one formatted piece, a space first when the text is not empty.
void Note(Observation* seen, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Appends one formatted piece to the last word, with no space.
void NoteMore(Observation* seen, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Bytes as text after "label=": a NUL shows as '|', an untouched byte as '#'.
void NoteBytes(Observation* seen, const char* label, const char* bytes, size_t count);

// Filled into output buffers before a call, to see what the call wrote and where it stopped.
const char kContractSentinel = '\x7F';

// One row: a call of one kind, its data in two text columns and a number, and what each line of
// Windows shows. The call kinds are the functions that make the Win32 call and note what it saw.
struct ContractRow {
    const char* name;
    void (*setup)(void);  // builds what the call finds; may be NULL
    void (*call)(Observation* seen, const struct ContractRow& row);
    const char* path;     // what the call is given: a name in the scratch folder, a key, ...
    const char* other;    // a second text: what must remain, a value name, the presses, ...
    int number;           // a buffer size, a message, a box type or other variation
    const char* expectedNt;        // what the NT line shows
    const char* expectedConsumer;  // what the consumer line shows; NULL: the same as the NT line
    // What 64-bit Windows of the NT line shows this 32-bit program under WoW64; NULL: the same
    // as the NT line.
    const char* expectedWin64 = NULL;
};

// The rows of the files, registry, profiles, paths and process, and those of user32.
const ContractRow* SystemRows(size_t* count);
const ContractRow* WindowRows(size_t* count);

size_t ContractRowCount(void);
const ContractRow& ContractRowAt(size_t index);
// Runs one row on a fresh scratch state and notes what it saw; the expectation for the line and
// width of the system under test.
const char* RunContractRow(const ContractRow& row, Observation* seen);

// The profile file that rows name without a folder, so that the profile functions look for it in
// the Windows folder; the Windows build removes it after every row.
#define CONTRACT_BARE_INI "pxcontract.ini"

// Scratch registry keys below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, removed after every row.
#define CONTRACT_KEY "Software\\PxContract"
// A scratch application path, which 64-bit Windows may keep apart from other machine keys.
#define CONTRACT_APP_PATH_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pxcontract.exe"

// ---- one body per build -------------------------------------------------------------------

// Before a row: an empty scratch folder, no scratch keys, no bare profile file. After it: the
// same, and every handle the row's setup held is closed and every restart deletion it scheduled
// is forgotten.
void BeginRow(void);
void EndRow(void);

// 1 when the system under test is of the NT line, 0 for the consumer line.
int RunsOnNtLine(void);
// 1 when this 32-bit program runs under WoW64 on 64-bit Windows.
int RunsUnderWow64(void);

// Joins name onto the scratch folder ("" gives the folder itself) or the Windows folder.
void ScratchPath(char* out, size_t size, const char* name);
void WindowsPath(char* out, size_t size, const char* name);

void MakeFolder(const char* path);  // and its missing parents below the scratch folder
void MakeFile(const char* path, const char* bytes, size_t count);  // parents as well
// Keeps the file open, without FILE_SHARE_DELETE, until the row ends.
void HoldOpenWithoutDeleteSharing(const char* path);
// Makes the folder the process's working folder until the row ends.
void WorkInFolder(const char* path);
int PathPresent(const char* path);
// A link at path to the folder target, as a user who may write the folder makes one: under Wine
// a Unix symbolic link, which Wine shows to a program as a junction.
void MakeLink(const char* path, const char* target);
// The rights of a folder whose Unix mode lets every user write it (chmod o+w): under Wine the
// DACL read from the mode gains a right to change it for Everyone.
void MakeWritableByEveryone(const char* path);
// The file's bytes into out; the count read, or -1 when the file cannot be opened.
long ReadFileBytes(const char* path, char* out, size_t size);

// Files and keys are made and looked at as this 32-bit program sees them, under WoW64 too.
void MakeKey(HKEY root, const char* path);  // and its missing parents
// A REG_SZ value of the text with its NUL, the key made when missing; name "" is the default.
void PutStringValue(HKEY root, const char* path, const char* name, const char* text);
int KeyPresent(HKEY root, const char* path);

// 1 when the file is scheduled for deletion at the next restart.
int PendingDeletion(const char* path);

// What the user does to the next dialog or message box, in order, once it shows: a comma list of
// button ids and the keys "esc", "enter", "alt+g" and "close" (the close box).
void ScriptPresses(const char* presses);
// SendMessage to a window, and a device context of a window for the colour messages.
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HDC DeviceContextOf(HWND window);
void ReleaseDeviceContext(HWND window, HDC context);

#endif
