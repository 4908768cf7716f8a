// Times one uninstall run under Wine: start-up (process start to the first window) and removal
// (the click on the confirmation's go button to the box "The uninstall is complete").
//
// Usage: bench_clock GO_ID PROGRAM [ARG...]
//        bench_clock --desktop hold|probe
//
// GO_ID is the control id that starts the removal in the first window captioned "Plexitone
// Uninstall": 6 (IDYES) in the uninstaller's and the references' confirmation box, 1 in a
// generated uninstaller's confirmation page. The first visible window with that caption, of any
// process, ends the start-up: a generated uninstaller copies itself to the temporary folder and
// shows its window from that second process. The end is the first visible window with that caption
// whose message text (the box's static, id 0xFFFF) is "The uninstall is complete". The clock then
// answers OK, closes the window left by the contender (its id 1 button, "Close") and waits for the
// contender's processes to end.
//
// Prints one line: "startup_ms S removal_ms R"; exit code 0. On a failure a line "error ..." and
// exit code 1.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "wine_windows.h"

static const char kCaption[] = "Plexitone Uninstall";
static const char kFinalText[] = "The uninstall is complete";
// Polls: every millisecond for the start-up, every two during the removal (a resolution of a few
// tenths of a percent on the shortest removal timed).
enum { MessageTextId = 0xFFFF, CloseId = 1, PollMs = 1, FinalPollMs = 2, TimeoutMs = 900000 };

static LONGLONG Frequency;

static LONGLONG Now(void)
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

static double Milliseconds(LONGLONG ticks)
{
    return (double)ticks * 1000.0 / (double)Frequency;
}

enum { MaxWindows = 256 };

// The first visible top-level window whose caption starts with kCaption, of process `processId`
// (any when 0); null when there is none. A generated uninstaller adds its page's name to the caption
// ("Plexitone Uninstall: Completed"), so the caption is compared by its start.
static HWND FindContenderWindow(DWORD processId)
{
    HWND windows[MaxWindows];
    int count = CollectVisibleWindows(processId, windows, MaxWindows);
    for (int i = 0; i < count; ++i) {
        // Wine answers GetWindowTextA for another process's window from the server, without a
        // message: a contender that pumps no messages does not stall the clock.
        char shown[128];
        if (GetWindowTextA(windows[i], shown, sizeof shown) > 0 && strncmp(shown, kCaption, sizeof kCaption - 1) == 0)
            return windows[i];
    }
    return NULL;
}

// The final box: found by class and exact caption in one request, then its text read; a poll this
// cheap keeps the clock's load on the wineserver, which the contender needs for every deletion and
// every control update, small.
static HWND FindFinalBox(void)
{
    HWND window = NULL;
    char shown[128];
    while ((window = FindWindowExA(NULL, window, "#32770", kCaption)) != NULL) {
        HWND message = GetDlgItem(window, MessageTextId);
        if (message != NULL && IsWindowVisible(window) && GetWindowTextA(message, shown, sizeof shown) > 0 &&
            strcmp(shown, kFinalText) == 0)
            return window;
    }
    return NULL;
}

static int Fail(const char *what)
{
    printf("error %s\n", what);
    fflush(stdout);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--desktop") == 0)
        return UseDesktop(argv[2]);
    if (argc < 3) {
        fputs("usage: bench_clock GO_ID PROGRAM [ARG...] | bench_clock --desktop hold|probe\n", stderr);
        return 4;
    }
    int goId = atoi(argv[1]);
    const char *program = argv[2];
    char commandLine[4096];
    int used = snprintf(commandLine, sizeof commandLine, "\"%s\"", program);
    for (int i = 3; i < argc && used > 0 && (size_t)used < sizeof commandLine; ++i)
        used += snprintf(commandLine + used, sizeof commandLine - (size_t)used, " \"%s\"", argv[i]);
    char folder[MAX_PATH];
    lstrcpynA(folder, program, sizeof folder);
    char *lastSeparator = strrchr(folder, '\\');
    if (lastSeparator == NULL)
        return Fail("the program needs a full path");
    lastSeparator[1] = '\0';

    QueryPerformanceFrequency((LARGE_INTEGER *)&Frequency);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    LONGLONG started = Now();
    if (!CreateProcessA(program, commandLine, NULL, NULL, FALSE, 0, NULL, folder, &startup, &process))
        return Fail("CreateProcessA failed");

    HWND first = NULL;
    LONGLONG deadline = started + Frequency * (TimeoutMs / 1000);
    while ((first = FindContenderWindow(0)) == NULL) {
        if (Now() > deadline)
            return Fail("no window");
        Sleep(PollMs);
    }
    LONGLONG shown = Now();

    // The contender's window process: the one to wait for at the end (the child itself, or the copy
    // a generated uninstaller started).
    DWORD windowProcessId = 0;
    GetWindowThreadProcessId(first, &windowProcessId);
    HANDLE windowProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, windowProcessId);

    HWND go;
    while ((go = GetDlgItem(first, goId)) == NULL || !IsWindowEnabled(go) || !IsWindowVisible(go)) {
        if (Now() > deadline || !IsWindow(first))
            return Fail("no go button");
        if (windowProcess != NULL && WaitForSingleObject(windowProcess, 0) == WAIT_OBJECT_0)
            return Fail("the contender ended before its go button could be pressed");
        Sleep(PollMs);
    }
    LONGLONG clicked = Now();
    PostMessageA(first, WM_COMMAND, MAKEWPARAM(goId, BN_CLICKED), (LPARAM)go);

    HWND final;
    while ((final = FindFinalBox()) == NULL) {
        if (Now() > deadline)
            return Fail("no final message");
        if (windowProcess != NULL && WaitForSingleObject(windowProcess, 0) == WAIT_OBJECT_0)
            return Fail("the contender ended without the final message");
        Sleep(FinalPollMs);
    }
    LONGLONG ended = Now();

    PostMessageA(final, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // A generated uninstaller stays on its last page until its Close button is pressed.
    HANDLE waits[2] = { process.hProcess, windowProcess != NULL ? windowProcess : process.hProcess };
    LONGLONG closeDeadline = Now() + Frequency * 60;
    while (WaitForMultipleObjects(2, waits, TRUE, 100) == WAIT_TIMEOUT) {
        HWND left = FindContenderWindow(windowProcessId);
        if (left != NULL) {
            HWND close = GetDlgItem(left, CloseId);
            if (close != NULL && IsWindowEnabled(close))
                PostMessageA(left, WM_COMMAND, MAKEWPARAM(CloseId, BN_CLICKED), (LPARAM)close);
        }
        if (Now() > closeDeadline) {
            TerminateProcess(waits[1], 255);
            TerminateProcess(process.hProcess, 255);
            return Fail("the contender did not end");
        }
    }
    printf("startup_ms %.3f removal_ms %.3f\n", Milliseconds(shown - started), Milliseconds(ended - clicked));
    fflush(stdout);
    return 0;
}
