// Starts a program as a deployment tool starts it and tells its whole exit code, which the Unix exit
// status of a Wine run cuts to its low byte (3010 would read as 194).
//
// Usage: pxlaunch [--version NAME] [--station hidden] PROGRAM [ARGUMENTS]
//
//   --version NAME    the Windows version Wine plays for PROGRAM, under AppDefaults by its file name
//   --station hidden  PROGRAM runs on a window station of its own that no one can see, as the children of
//                     a service and SYSTEM's programs in session 0 run
//   ARGUMENTS         one argument: the command line after PROGRAM's quoted path, as it stands
//
// Writes "process N" (PROGRAM's process id, in decimal) once it runs, then "exit code N" once it has
// ended, on standard output. Exit code: 0 when PROGRAM ran to its end, 4 when it could not be started
// or the arguments are wrong.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static int SetWindowsVersion(const char *program, const char *version)
{
    const char *name = program;
    for (const char *p = program; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    char keyPath[MAX_PATH + 64];
    snprintf(keyPath, sizeof keyPath, "Software\\Wine\\AppDefaults\\%s", name);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG status = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)version, (DWORD)strlen(version) + 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

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

int main(int argc, char **argv)
{
    const char *version = NULL;
    int hidden = 0;
    int at = 1;
    for (; at < argc && strncmp(argv[at], "--", 2) == 0; at++) {
        if (strcmp(argv[at], "--version") == 0 && at + 1 < argc)
            version = argv[++at];
        else if (strcmp(argv[at], "--station") == 0 && at + 1 < argc && strcmp(argv[at + 1], "hidden") == 0) {
            hidden = 1;
            at++;
        }
        else
            break;
    }
    if (at >= argc || at + 2 < argc) {
        fprintf(stderr, "usage: pxlaunch [--version NAME] [--station hidden] PROGRAM [ARGUMENTS]\n");
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
    CloseHandle(process.hThread);
    printf("process %lu\n", process.dwProcessId);
    fflush(stdout);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    printf("exit code %lu\n", code);
    fflush(stdout);
    return 0;
}
