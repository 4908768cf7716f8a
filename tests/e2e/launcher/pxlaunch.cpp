// Starts a program as a deployment tool starts it and tells its whole exit code, which the Unix exit
// status of a Wine run cuts to its low byte (3010 would read as 194).
//
// Usage: pxlaunch [--version NAME] [--station hidden] [--suspend REPORT TEXT RELEASE] PROGRAM [ARGUMENTS]
//
//   --version NAME    the Windows version Wine plays for PROGRAM and the programs it starts
//   --station hidden  PROGRAM runs on a window station of its own that no one can see, as the children of
//                     a service and SYSTEM's programs in session 0 run
//   --suspend REPORT TEXT RELEASE
//                     PROGRAM's thread is suspended as soon as the file REPORT holds TEXT, and resumed once
//                     the file RELEASE exists: a run held under way, at a point its report names
//   ARGUMENTS         one argument: the command line after PROGRAM's quoted path, as it stands
//
// Writes "process N" (PROGRAM's process id, in decimal) once it runs, "suspended" while it is held,
// then "exit code N" once it has ended, on standard output. Exit code: 0 when PROGRAM ran to its end, 4 when it could not be started
// or the arguments are wrong.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "wine_version.h"

// A window station without WSF_VISIBLE, and a desktop in it for the program to start on. Made while this
// process is on it, as a desktop is made in the process's own window station.
static int MakeHiddenStation(char *desktop, size_t size)
{
    HWINSTA own = GetProcessWindowStation();
    HWINSTA station = CreateWindowStationA("pxhidden", 0, WINSTA_ALL_ACCESS, NULL);
    if (station == NULL || !SetProcessWindowStation(station))
        return 0;
    HDESK made = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    SetProcessWindowStation(own);
    if (made == NULL)
        return 0;
    snprintf(desktop, size, "pxhidden\\Default");
    return 1;
}

// 1 once the file at path holds text; read while its writer writes it, which shares reading.
static int FileHolds(const char *path, const char *text)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    static char bytes[1 << 20];
    DWORD read = 0;
    BOOL done = ReadFile(file, bytes, sizeof bytes - 1, &read, NULL);
    CloseHandle(file);
    bytes[done ? read : 0] = '\0';
    return strstr(bytes, text) != NULL;
}

// Polls every millisecond until the report names the point, suspends the program there, and resumes
// it once the release file exists. 0 when the program ended first.
static int SuspendUnderWay(PROCESS_INFORMATION *process, const char *report, const char *text,
                           const char *release)
{
    while (!FileHolds(report, text)) {
        if (WaitForSingleObject(process->hProcess, 1) == WAIT_OBJECT_0)
            return 0;
    }
    if (SuspendThread(process->hThread) == (DWORD)-1)
        return 0;
    printf("suspended\n");
    fflush(stdout);
    while (GetFileAttributesA(release) == INVALID_FILE_ATTRIBUTES)
        Sleep(20);
    ResumeThread(process->hThread);
    return 1;
}

int main(int argc, char **argv)
{
    const char *version = NULL;
    const char *suspendReport = NULL, *suspendText = NULL, *release = NULL;
    int hidden = 0;
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; at++) {
        if (strcmp(argv[at], "--version") == 0 && at + 1 < argc)
            version = argv[++at];
        else if (strcmp(argv[at], "--station") == 0 && at + 1 < argc && strcmp(argv[at + 1], "hidden") == 0) {
            hidden = 1;
            at++;
        } else if (strcmp(argv[at], "--suspend") == 0 && at + 3 < argc) {
            suspendReport = argv[at + 1];
            suspendText = argv[at + 2];
            release = argv[at + 3];
            at += 3;
        }
        else
            break;
    }
    if (at >= argc || at + 2 < argc) {
        fprintf(stderr, "usage: pxlaunch [--version NAME] [--station hidden] [--suspend REPORT TEXT RELEASE] "
                        "PROGRAM [ARGUMENTS]\n");
        return 4;
    }
    const char *program = argv[at];
    if (version != NULL && !SetWindowsVersion(program, version)) {
        fprintf(stderr, "pxlaunch: cannot set the Windows version %s\n", version);
        return 4;
    }
    char commandLine[4 * MAX_PATH];
    snprintf(commandLine, sizeof commandLine, "\"%s\"%s%s", program, at + 1 < argc ? " " : "",
             at + 1 < argc ? argv[at + 1] : "");

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    char desktop[64];
    if (hidden) {
        if (!MakeHiddenStation(desktop, sizeof desktop)) {
            fprintf(stderr, "pxlaunch: cannot make a hidden window station (error %lu)\n", GetLastError());
            return 4;
        }
        startup.lpDesktop = desktop;
    }
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "pxlaunch: cannot start %s (error %lu)\n", program, GetLastError());
        return 4;
    }
    printf("process %lu\n", process.dwProcessId);
    fflush(stdout);
    if (suspendReport != NULL && !SuspendUnderWay(&process, suspendReport, suspendText, release))
        printf("ended before it was suspended\n");
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    printf("exit code %lu\n", code);
    fflush(stdout);
    return 0;
}
