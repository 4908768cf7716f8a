// Shared by the simulated subsystems; not for tests or the logic.
#ifndef PLATFORM_SIM_SIM_INTERNAL_H
#define PLATFORM_SIM_SIM_INTERNAL_H

#include <string>

#include "platform/sim/sim.h"

// Counts one call of operation against the armed faults. True when this call must fail; *kind
// (may be NULL) then says how. argument is the call's first string argument, "" when none.
bool SimFaultHit(const char* operation, const char* argument, SimFaultKind* kind);

// Appends "operation(argument) = result" to Machine().calls.
void SimRecordCall(const std::string& operation, const std::string& argument, long long result);

// A declared fault or a refusal: sets the last error, records "operation(argument) = 0" and
// returns FALSE.
BOOL SimFail(const char* operation, const std::string& argument, DWORD error);

// Folds A-Z to a-z and nothing else: Windows compares names this way, whatever the code page.
std::string FoldCase(std::string text);

// Links (sim_links.cpp): the key with every link on the way replaced by its target, the last
// name too when followLast; the swaps of folders for links a test declared, at each call.
std::string SimFollowLinks(const std::string& key, bool followLast);
void SimRunLinkSwaps(const char* operation, const char* argument);

// kernel32's exports that programs find only through GetProcAddress, since older systems lack
// them; their bodies live with the subsystem they belong to.
UINT WINAPI SimGetSystemWow64DirectoryA(LPSTR lpBuffer, UINT uSize);

// advapi32 as GetModuleHandleA finds it, and the exports programs look up in it rather than
// import (sim_token.cpp).
bool SimIsAdvapiName(const std::string& name);
HMODULE SimAdvapiModule(void);
FARPROC SimAdvapiExport(const std::string& name);

// The loader of every DLL but kernel32 (sim_loader.cpp): LoadLibraryA of such a name, and
// GetProcAddress in the module it gave.
HMODULE SimLoadLibrary(const std::string& name);
FARPROC SimLibraryExport(HMODULE module, const std::string& name);
// kernel32's activation-context calls, which programs find only through GetProcAddress; NULL
// for other names.
void (*SimActivationContextExport(const std::string& name))(void);
// A system DLL asking for name by name, as a delayed import or LoadLibraryA of its own does.
void SimSystemLoadsByName(const std::string& name);
// user32 resolving the classes of a window about to be made (a dialog's controls, a message
// box's buttons) through the activation context active now.
void SimResolveWindowClasses(void);

// Gives a new or rewritten item its file index and write time (sim_files.cpp).
void SimStampItem(SimDiskItem* item, bool isNew);

// Why the item at key may not be deleted or removed now, 0 when it may (sim_handles.cpp): the
// image of a running program (ERROR_ACCESS_DENIED) or an open handle without FILE_SHARE_DELETE
// (ERROR_SHARING_VIOLATION).
DWORD SimDeletionRefusal(const std::string& key);

// File handles (sim_handles.cpp): whether a new open of key with this access and sharing
// conflicts with one held, a new handle, and the file handle behind a value (NULL when none).
bool SimHandlesConflict(const std::string& key, DWORD access, DWORD share);
HANDLE SimOpenFileHandle(const std::string& key, DWORD access, DWORD share);
const SimHandle* SimFileHandle(HANDLE handle);
// The security descriptor of an item as GetKernelObjectSecurity writes it, self-relative
// (sim_security.cpp); the size it needs.
DWORD SimWriteSecurityDescriptor(const SimDiskItem& item, BYTE* out, DWORD size);
// advapi32's ACL and security descriptor calls as GetProcAddress finds them, void (*)(void) as
// the caller casts them back; NULL for other names. GetTokenInformation's TokenUser, the running
// user with its SID after it in one block.
void (*SimSecurityExport(const std::string& name))(void);
BOOL SimTokenUser(LPVOID information, DWORD length, LPDWORD returned);
// The SID at sid as "S-1-5-32-544", and the DACL of a descriptor a program built.
std::string SimSidText(PSID sid);
bool SimReadDacl(PSECURITY_DESCRIPTOR descriptor, std::vector<SimAce>* aces, bool* isProtected);

// Closes a handle of the process table (sim_handles.cpp); false when it holds none such. An item
// marked for deletion through it goes then (SimDeleteMarked, sim_file_handles.cpp).
bool SimCloseObject(HANDLE handle);
void SimDeleteMarked(const std::string& key);
// kernel32's file calls that programs find through GetProcAddress, and ntdll as GetModuleHandleA
// finds it on the NT line, with its exports (sim_file_handles.cpp); NULL where the system lacks them.
FARPROC SimFileExport(const std::string& name);
bool SimIsNtdllName(const std::string& name);
HMODULE SimNtdllModule(void);
FARPROC SimNtdllExport(const std::string& name);
// kernel32's exports from Vista on that programs find through GetProcAddress; NULL when the
// machine's system lacks them.
FARPROC SimProcessExport(const std::string& name);

// Bookkeeping that outlives one machine; ResetMachine calls these before it replaces the machine
// so nothing of the old machine leaks into the next test.
void SimCloseStreams();       // fcloses every stream _fsopen handed out
void SimReleaseKeyHandles();  // frees every registry handle not yet closed
void SimReleaseItemLists();   // frees every shell item list not yet freed

#endif
