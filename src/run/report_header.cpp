// The report's header: the uninstaller's version, its command line, the user, the session, the
// Windows it runs on and the code page the report's names come in.
#include "run/report_header.h"

#include "foundation/fixed_names.h"
#include "foundation/platform_line.h"
#include "foundation/run_report.h"

typedef BOOL(WINAPI* ProcessIdToSessionIdFunction)(DWORD, DWORD*);
typedef BOOL(WINAPI* IsWow64ProcessFunction)(HANDLE, PBOOL);

// The longest user name Windows allows (UNLEN) and its NUL.
enum { kUserNameBytes = 257 };

// The version, the line, the width and the session. ProcessIdToSessionId comes with Windows 2000,
// IsWow64Process with XP SP2: looked up, as a program that imports them would not start before.
static void ReportWindows(int isNt)
{
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return;
    version.szCSDVersion[sizeof version.szCSDVersion - 1] = '\0';
    // The consumer line puts its letter there between blanks (" A " for 98 Second Edition).
    const char* servicePack = version.szCSDVersion;
    while (*servicePack == ' ')
        servicePack++;
    size_t servicePackLength = strlen(servicePack);
    while (servicePackLength > 0 && servicePack[servicePackLength - 1] == ' ')
        servicePackLength--;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    IsWow64ProcessFunction isWow64Process =
        kernel != NULL ? (IsWow64ProcessFunction)(void*)GetProcAddress(kernel, "IsWow64Process") : NULL;
    BOOL wow64 = FALSE;
    if (isWow64Process != NULL && !isWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    // The consumer line keeps its version in the build number's high word.
    DWORD build = isNt ? version.dwBuildNumber : version.dwBuildNumber & 0xFFFF;
    ReportLine("windows: %lu.%lu.%lu%s%.*s, the %s line, %s", (unsigned long)version.dwMajorVersion,
               (unsigned long)version.dwMinorVersion, (unsigned long)build, servicePackLength > 0 ? " " : "",
               (int)servicePackLength, servicePack, isNt ? "NT" : "consumer",
               wow64 ? "64-bit, this 32-bit program under WoW64" : "32-bit");

    ProcessIdToSessionIdFunction processIdToSessionId =
        kernel != NULL && isNt ? (ProcessIdToSessionIdFunction)(void*)GetProcAddress(kernel, "ProcessIdToSessionId")
                               : NULL;
    DWORD session = 0;
    if (processIdToSessionId != NULL && processIdToSessionId(GetCurrentProcessId(), &session))
        ReportLine("session: %lu", (unsigned long)session);
}

void ReportRunHeader(const char* commandLine, const RunArguments* arguments, int stationVisible,
                     int administrator)
{
    if (!RunReportIsOpen())
        return;
    ReportLine("Plexitone uninstaller %d.%d.%d.%d: report of a run", kVersionMajor, kVersionMinor,
               kVersionPatch, kVersionBuild);
    ReportLine("command line: %s", commandLine != NULL ? commandLine : "");
    char modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
    if (length > 0 && length < sizeof modulePath)
        ReportLine("program: %s", modulePath);
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReportLine("started: %04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute, now.wSecond);

    int isNt = IsNtPlatform();
    char user[kUserNameBytes];
    DWORD userSize = sizeof user;
    if (!GetUserNameA(user, &userSize))
        snprintf(user, sizeof user, "%s", "(unknown)");
    if (isNt)
        ReportLine("user: %s, %s an administrator's rights", user, administrator ? "with" : "without");
    else
        ReportLine("user: %s (the consumer line keeps no rights)", user);
    ReportWindows(isNt);

    if (arguments->silent)
        ReportLine("mode: silent (/S): no window; /S stands for the confirmation");
    else if (!stationVisible)
        ReportLine("mode: silent without /S: no one can see this window station (a service's, or session 0)");
    else
        ReportLine("mode: shows its windows and asks first");
    ReportLine("code page: %u, the names of this report %s", GetACP(),
               RunReportInUtf8() ? "converted from it to UTF-8" : "in it as they are");
}
