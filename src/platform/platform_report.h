// The Win32 types and calls of a run's report and of its silent mode, for the host build: the part
// of platform.h that the report alone uses. Included by platform.h; the Windows build takes all of
// them from <windows.h>.
#ifndef PLATFORM_PLATFORM_REPORT_H
#define PLATFORM_PLATFORM_REPORT_H

// The report's file written by handle, its text converted by code page, its header's clock, and
// the window station the run may show windows on.
typedef const void* LPCVOID;
typedef BOOL* LPBOOL;
typedef uint16_t WCHAR;  // UTF-16, as on Windows; wchar_t of the host is wider
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef struct OVERLAPPED OVERLAPPED, *LPOVERLAPPED;  // never used: every write is synchronous
typedef struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;
typedef struct USEROBJECTFLAGS { BOOL fInherit; BOOL fReserved; DWORD dwFlags; } USEROBJECTFLAGS;

// kernel32
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
UINT WINAPI GetACP(void);
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);

// advapi32
BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer);

#endif
