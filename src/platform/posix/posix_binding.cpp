// The few Win32 and msvcrt calls of the log loader and what it stands on, over the C library of
// a POSIX system: the binding of the pxlog shipped to installer authors, who run it on their
// build machines, where neither Windows nor the simulated one exists.
#include "platform/platform.h"

#include <signal.h>
#include <unistd.h>

// Any non-null value: the heap below is the C library's one heap.
static char processHeap;

HANDLE WINAPI GetProcessHeap(void)
{
    return &processHeap;
}

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes)
{
    // The loader asks for no flags: an uncleared block, or null when there is no room.
    (void)hHeap;
    (void)dwFlags;
    // HeapAlloc gives a block for 0 bytes too; malloc may answer null.
    return malloc(dwBytes > 0 ? dwBytes : 1);
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem)
{
    (void)hHeap;
    (void)dwFlags;
    free(lpMem);
    return TRUE;
}

int _fcloseall(void)
{
    // The C library here cannot close only the streams the program opened (its fcloseall takes
    // stderr too, where the internal-error box is about to write). Flushing every stream keeps
    // what closing them before the report is for: nothing written is lost at the exit.
    fflush(NULL);
    return 0;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar)
{
    // pxlog reads a log without knowing the code page of the machine it will run on, and judges
    // a path only by its drive, colon, separators, "." and "..", all ASCII. Answering that no
    // byte leads a pair treats every byte as a character of its own, as the single-byte code
    // pages do; on a double-byte page a trail byte of 0x5C would count as a separator here.
    (void)TestChar;
    return FALSE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    // A console tool has no desktop: the box is a line on standard error, answered at once.
    (void)hWnd;
    (void)uType;
    fprintf(stderr, "%s: %s\n", lpCaption, lpText);
    return IDOK;
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    // No Windows library exists here: the debugger question is answered "none attached".
    (void)lpLibFileName;
    return NULL;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    (void)hModule;
    (void)lpProcName;
    return NULL;
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    (void)hLibModule;
    return FALSE;
}

void WINAPI DebugBreak(void)
{
    raise(SIGTRAP);
}

void WINAPI ExitProcess(UINT uExitCode)
{
    // ExitProcess runs no atexit handlers and no static destructors; neither does _exit.
    _exit((int)uExitCode);
}
