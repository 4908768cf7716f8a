// Whether the run holds an administrator's rights, asked before it shows or changes anything.
#ifndef RUN_ADMINISTRATOR_H
#define RUN_ADMINISTRATOR_H

#include "platform/platform.h"

// The advapi32 calls the check looks up at run time rather than imports.
typedef BOOL(WINAPI* AllocateAndInitializeSidFunction)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                        DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                                                        PSID*);
typedef LPVOID(WINAPI* FreeSidFunction)(PSID);
typedef BOOL(WINAPI* CheckTokenMembershipFunction)(HANDLE, PSID, PBOOL);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD,
                                                   LPDWORD);
typedef BOOL(WINAPI* EqualSidFunction)(PSID, PSID);

// 1 when the process's token counts the Administrators group among its enabled groups, 0 when it
// does not or the system cannot say. For the NT line only: the consumer line has no tokens.
int RunsAsAdministrator(void);

#endif
