// The benchmark's reference removals: the same log, the same deletions in the same order, with no
// display or with only the display calls the uninstaller must make; and, for the profile, the
// same loop timed call by call and with the repaint-cutting variants.
//
// Usage (the program reads "_pxunins.dat" beside itself, as the uninstaller does):
//   reference_removal MODE [PROFILE_FILE]
//
// MODE       per entry, after DeleteFileA or RemoveDirectoryA
//   bare       nothing: the physical limit of the removal
//   display    SetDlgItemTextA("Removing: <path>") on the static; PBM_SETPOS when the rounded
//              position changes: the limit with the display required
//   noredraw   as display, WM_SETREDRAW FALSE on the static for the whole pass; the text is set
//              but never drawn until the pass ends
//   lockupdate as display, LockWindowUpdate(dialog) for the whole pass
//   hiddentext as display, the static hidden (SW_HIDE) for the pass and shown after it
//   throttled  as display, but the static draws at most every 50 ms: WM_SETREDRAW FALSE on it,
//              and when 50 ms have passed WM_SETREDRAW TRUE, the text, RedrawWindow, FALSE again
//   classicbar as display, with the bar's visual style switched off (SetWindowTheme(bar, " ", " "))
//
// Around the removal it behaves as the uninstaller: the confirmation box (same caption, text and
// buttons), the progress dialog (same template, colours and initialisation), the final report
// (empty text, bar at 100), and the box "The uninstall is complete", which the bench clock waits for.
//
// With PROFILE_FILE, every DeleteFileA/RemoveDirectoryA, SetDlgItemTextA and PBM_SETPOS is timed
// with QueryPerformanceCounter, and the paints each call causes are counted by subclassing the two
// controls: a line per call kind with its count, total and median microseconds is written there.
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/fixed_names.h"
#include "reference_ids.h"

static const char kCaption[] = "Plexitone Uninstall";

enum Mode { ModeBare, ModeDisplay, ModeNoRedraw, ModeLockUpdate, ModeHiddenText, ModeThrottled, ModeClassicBar };

struct ModeName {
    const char *name;
    Mode mode;
};

static const ModeName kModes[] = {
    { "bare", ModeBare },         { "display", ModeDisplay },
    { "noredraw", ModeNoRedraw }, { "lockupdate", ModeLockUpdate },
    { "hiddentext", ModeHiddenText }, { "throttled", ModeThrottled },
    { "classicbar", ModeClassicBar },
};

// One entry of the log: kind 0 a file, 1 a folder, and its path.
struct Entry {
    unsigned kind;
    char *path;
};

static HWND Dialog;
static int LastPos;

// Paint counters: the controls' WM_PAINT and the dialog's WM_CTLCOLORSTATIC, which a static sends
// only while it draws its text.
static long TextPaints;
static long BarPaints;
static long TextColourQueries;
static WNDPROC TextProc;
static WNDPROC BarProc;

static LRESULT CALLBACK CountTextPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        TextPaints++;
    return CallWindowProcA(TextProc, hwnd, message, wParam, lParam);
}

static LRESULT CALLBACK CountBarPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT)
        BarPaints++;
    return CallWindowProcA(BarProc, hwnd, message, wParam, lParam);
}

// The uninstaller's own dialog procedure, message for message: range 0..100, centred, button face.
static INT_PTR CALLBACK ReferenceDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG: {
        if (GetDlgItem(hDlg, IDC_PROGRESS_BAR) != NULL) {
            SendDlgItemMessageA(hDlg, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
            SendDlgItemMessageA(hDlg, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        }
        RECT rect;
        GetWindowRect(hDlg, &rect);
        int width = rect.right - rect.left;
        int height = rect.bottom - rect.top;
        SetWindowPos(hDlg, NULL, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOACTIVATE);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        TextColourQueries++;
        SetBkColor((HDC)wParam, GetSysColor(COLOR_BTNFACE));
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
        SetBkColor((HDC)wParam, GetSysColor(COLOR_BTNFACE));
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    }
    return FALSE;
}

// Samples of one kind of call, in QueryPerformanceCounter ticks, with the paints they caused.
struct CallTimes {
    const char *name;
    LONGLONG *ticks;
    long count;
    long textPaints;
    long barPaints;
    long colourQueries;
};

static LONGLONG QpcFrequency;

static LONGLONG Now(void)
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

// Adds one sample: the time since `started` and the paint counters' growth since `before`.
static void Record(CallTimes *times, LONGLONG started, const long before[3])
{
    if (times == NULL || times->ticks == NULL)
        return;
    times->ticks[times->count++] = Now() - started;
    times->textPaints += TextPaints - before[0];
    times->barPaints += BarPaints - before[1];
    times->colourQueries += TextColourQueries - before[2];
}

static int CompareTicks(const void *a, const void *b)
{
    LONGLONG x = *(const LONGLONG *)a;
    LONGLONG y = *(const LONGLONG *)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

static void WriteTimes(FILE *out, CallTimes *times)
{
    if (times->count == 0) {
        fprintf(out, "%-14s calls 0\n", times->name);
        return;
    }
    LONGLONG total = 0;
    for (long i = 0; i < times->count; ++i)
        total += times->ticks[i];
    qsort(times->ticks, (size_t)times->count, sizeof times->ticks[0], CompareTicks);
    double scale = 1e6 / (double)QpcFrequency;
    fprintf(out,
            "%-14s calls %ld  total_ms %.1f  median_us %.1f  p90_us %.1f  "
            "text_paints %ld  bar_paints %ld  ctlcolorstatic %ld\n",
            times->name, times->count, (double)total * scale / 1000.0,
            (double)times->ticks[times->count / 2] * scale,
            (double)times->ticks[times->count * 9 / 10] * scale, times->textPaints,
            times->barPaints, times->colourQueries);
}

// Reads the log into a table of entries, each path copied into a NUL-terminated block of its own;
// 0 when the file cannot be read or a field runs past its end.
static int LoadLog(const char *path, Entry **entries, long *count)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD size = GetFileSize(file, NULL);
    unsigned char *data = (unsigned char *)malloc((size_t)size + 1);
    DWORD got = 0;
    int read = data != NULL && ReadFile(file, data, size, &got, NULL) && got == size;
    CloseHandle(file);
    if (!read || size < 12)
        return 0;
    long entryCount = (long)(data[8] | data[9] << 8 | data[10] << 16 | (unsigned long)data[11] << 24);
    if (entryCount < 0)
        entryCount = 0;
    Entry *list = (Entry *)malloc(sizeof(Entry) * (size_t)(entryCount + 1));
    if (list == NULL)
        return 0;
    DWORD offset = 12;
    for (long i = 0; i < entryCount; ++i) {
        if (offset + 8 > size)
            return 0;
        unsigned length = data[offset + 4] | data[offset + 5] << 8;
        if (offset + 8 + length > size)
            return 0;
        list[i].kind = data[offset];
        list[i].path = (char *)malloc(length + 1);
        if (list[i].path == NULL)
            return 0;
        memcpy(list[i].path, data + offset + 8, length);
        list[i].path[length] = '\0';
        offset += 8 + length;
    }
    free(data);
    *entries = list;
    *count = entryCount;
    return 1;
}

static void SetText(const char *name, CallTimes *timing)
{
    char text[MAX_PATH + 100];
    text[0] = '\0';
    if (name != NULL)
        snprintf(text, sizeof text, "Removing: %s", name);
    long before[3] = { TextPaints, BarPaints, TextColourQueries };
    LONGLONG started = Now();
    SetDlgItemTextA(Dialog, IDC_REMOVING_TEXT, text);
    Record(timing, started, before);
}

static void SetPosition(double fraction, CallTimes *timing)
{
    int position = (int)lrint(fraction * 100.0);
    if (position == LastPos)
        return;
    LastPos = position;
    long before[3] = { TextPaints, BarPaints, TextColourQueries };
    LONGLONG started = Now();
    SendDlgItemMessageA(Dialog, IDC_PROGRESS_BAR, PBM_SETPOS, (WPARAM)position, 0);
    Record(timing, started, before);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand)
{
    (void)previousInstance;
    (void)commandLine;
    (void)showCommand;
    if (__argc < 2)
        return 2;
    int found = 0;
    Mode mode = ModeBare;
    for (size_t i = 0; i < sizeof kModes / sizeof kModes[0]; ++i)
        if (strcmp(__argv[1], kModes[i].name) == 0) {
            mode = kModes[i].mode;
            found = 1;
        }
    if (!found)
        return 2;
    const char *profilePath = __argc > 2 ? __argv[2] : NULL;

    char logPath[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, logPath, sizeof logPath);
    if (length == 0 || length >= sizeof logPath)
        return 3;
    char *lastSeparator = strrchr(logPath, '\\');
    if (lastSeparator == NULL || (size_t)(lastSeparator - logPath) + 1 + sizeof kLogFileName > sizeof logPath)
        return 3;
    strcpy(lastSeparator + 1, kLogFileName);
    Entry *entries;
    long count;
    if (!LoadLog(logPath, &entries, &count))
        return 3;

    if (MessageBoxA(NULL, "The Plexitone is about to be uninstalled. Proceed?", kCaption,
                    MB_YESNO | MB_DEFBUTTON2) != IDYES)
        return 0;

    QueryPerformanceFrequency((LARGE_INTEGER *)&QpcFrequency);
    LONGLONG *samples = NULL;
    if (profilePath != NULL)
        samples = (LONGLONG *)malloc(sizeof(LONGLONG) * (size_t)(3 * count + 8));
    CallTimes deletes = { "delete", samples, 0, 0, 0, 0 };
    CallTimes texts = { "settext", samples != NULL ? samples + count + 2 : NULL, 0, 0, 0, 0 };
    CallTimes positions = { "setpos", samples != NULL ? samples + 2 * count + 4 : NULL, 0, 0, 0, 0 };

    HWND text = NULL;
    if (mode != ModeBare) {
        InitCommonControls();
        Dialog = CreateDialogParamA(instance, "Uninstalling", NULL, ReferenceDialogProc, 0);
        if (Dialog == NULL)
            return 4;
        ShowWindow(Dialog, SW_SHOW);
        text = GetDlgItem(Dialog, IDC_REMOVING_TEXT);
        if (profilePath != NULL) {
            TextProc = (WNDPROC)SetWindowLongPtrA(text, GWLP_WNDPROC, (LONG_PTR)CountTextPaints);
            BarProc = (WNDPROC)SetWindowLongPtrA(GetDlgItem(Dialog, IDC_PROGRESS_BAR), GWLP_WNDPROC,
                                                 (LONG_PTR)CountBarPaints);
        }
        if (mode == ModeNoRedraw || mode == ModeThrottled)
            SendMessageA(text, WM_SETREDRAW, FALSE, 0);
        else if (mode == ModeLockUpdate)
            LockWindowUpdate(Dialog);
        else if (mode == ModeHiddenText)
            ShowWindow(text, SW_HIDE);
        else if (mode == ModeClassicBar)
            SetWindowTheme(GetDlgItem(Dialog, IDC_PROGRESS_BAR), L" ", L" ");
    }

    LONGLONG passStarted = Now();
    LONGLONG lastDrawn = passStarted;
    LONGLONG throttle = QpcFrequency / 20;
    double denominator = count > 0 ? (double)count : 1.0;
    long position = 0;
    for (long i = count - 1; i >= 0; --i, ++position) {
        long before[3] = { TextPaints, BarPaints, TextColourQueries };
        LONGLONG started = Now();
        if (entries[i].kind == 0)
            DeleteFileA(entries[i].path);
        else if (entries[i].kind == 1)
            RemoveDirectoryA(entries[i].path);
        Record(&deletes, started, before);
        if (mode == ModeBare)
            continue;
        double fraction = (double)position / denominator;
        if (mode == ModeThrottled && Now() - lastDrawn >= throttle) {
            SendMessageA(text, WM_SETREDRAW, TRUE, 0);
            SetText(entries[i].path, &texts);
            RedrawWindow(text, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            SendMessageA(text, WM_SETREDRAW, FALSE, 0);
            lastDrawn = Now();
        } else {
            SetText(entries[i].path, &texts);
        }
        SetPosition(fraction, &positions);
    }
    LONGLONG passEnded = Now();

    if (mode != ModeBare) {
        if (mode == ModeNoRedraw || mode == ModeThrottled) {
            SendMessageA(text, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(text, NULL, TRUE);
        } else if (mode == ModeLockUpdate) {
            LockWindowUpdate(NULL);
        } else if (mode == ModeHiddenText) {
            ShowWindow(text, SW_SHOW);
        }
        SetText(NULL, NULL);
        SetPosition(1.0, NULL);
        ShowWindow(Dialog, SW_HIDE);
        DestroyWindow(Dialog);
        Dialog = NULL;
    }

    if (profilePath != NULL) {
        FILE *out = fopen(profilePath, "a");
        if (out != NULL) {
            fprintf(out, "mode %s  entries %ld  pass_ms %.1f\n", __argv[1], count,
                    (double)(passEnded - passStarted) * 1000.0 / (double)QpcFrequency);
            WriteTimes(out, &deletes);
            WriteTimes(out, &texts);
            WriteTimes(out, &positions);
            fclose(out);
        }
    }

    MessageBoxA(NULL, "The uninstall is complete", kCaption, MB_OK);
    return 0;
}
