// The simulated session of the process: its window station, its session and user, the local
// clock, the ANSI code page and the conversions between code pages.
#include <iconv.h>

#include "platform/sim/sim_internal.h"

static char g_user32Module;  // a tag whose address serves as user32's handle
static char g_windowStation;

bool SimIsUser32Name(const std::string& name)
{
    return FoldCase(name) == "user32.dll" || FoldCase(name) == "user32";
}

HMODULE SimUser32Module(void)
{
    return (HMODULE)&g_user32Module;
}

static HANDLE WINAPI SimGetProcessWindowStation(void)
{
    SimRecordCall("GetProcessWindowStation", "", 1);
    return (HANDLE)&g_windowStation;
}

static BOOL WINAPI SimGetUserObjectInformationA(HANDLE hObj, int nIndex, LPVOID pvInfo, DWORD nLength,
                                                LPDWORD lpnLengthNeeded)
{
    if (SimFaultHit("GetUserObjectInformationA", "", nullptr))
        return SimFail("GetUserObjectInformationA", "", ERROR_ACCESS_DENIED);
    if (hObj != (HANDLE)&g_windowStation || nIndex != UOI_FLAGS)
        return SimFail("GetUserObjectInformationA", "", ERROR_INVALID_PARAMETER);
    if (lpnLengthNeeded)
        *lpnLengthNeeded = sizeof(USEROBJECTFLAGS);
    if (nLength < sizeof(USEROBJECTFLAGS))
        return SimFail("GetUserObjectInformationA", "", ERROR_INSUFFICIENT_BUFFER);
    USEROBJECTFLAGS* flags = (USEROBJECTFLAGS*)pvInfo;
    flags->fInherit = FALSE;
    flags->fReserved = FALSE;
    flags->dwFlags = Machine().session.windowStationVisible ? WSF_VISIBLE : 0;
    SimRecordCall("GetUserObjectInformationA", "", TRUE);
    return TRUE;
}

FARPROC SimUser32Export(const std::string& name)
{
    void (*found)(void) = nullptr;
    if (Machine().session.userHasWindowStationCalls && name == "GetProcessWindowStation")
        found = reinterpret_cast<void (*)(void)>(&SimGetProcessWindowStation);
    else if (Machine().session.userHasWindowStationCalls && name == "GetUserObjectInformationA")
        found = reinterpret_cast<void (*)(void)>(&SimGetUserObjectInformationA);
    if (found == nullptr)
        return (FARPROC)(ULONG_PTR)SimFail("GetProcAddress", name, ERROR_PROC_NOT_FOUND);
    SimRecordCall("GetProcAddress", name, 1);
    return reinterpret_cast<FARPROC>(found);
}

static BOOL WINAPI SimProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId)
{
    if (SimFaultHit("ProcessIdToSessionId", "", nullptr))
        return SimFail("ProcessIdToSessionId", "", ERROR_ACCESS_DENIED);
    if (dwProcessId != Machine().objects.currentProcessId)
        return SimFail("ProcessIdToSessionId", "", ERROR_INVALID_PARAMETER);
    *pSessionId = Machine().session.sessionId;
    SimRecordCall("ProcessIdToSessionId", "", TRUE);
    return TRUE;
}

// A 32-bit process of 64-bit Windows runs under WoW64.
static BOOL WINAPI SimIsWow64Process(HANDLE hProcess, PBOOL Wow64Process)
{
    if (SimFaultHit("IsWow64Process", "", nullptr))
        return SimFail("IsWow64Process", "", ERROR_ACCESS_DENIED);
    if (hProcess != (HANDLE)(LONG_PTR)-1)
        return SimFail("IsWow64Process", "", ERROR_INVALID_HANDLE);
    *Wow64Process = Machine().width == SimWindows64 ? TRUE : FALSE;
    SimRecordCall("IsWow64Process", "", TRUE);
    return TRUE;
}

FARPROC SimSessionExport(const std::string& name)
{
    const SimSession& session = Machine().session;
    if (name == "ProcessIdToSessionId" && session.kernelHasProcessIdToSessionId)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&SimProcessIdToSessionId));
    if (name == "IsWow64Process" && session.kernelHasIsWow64Process)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&SimIsWow64Process));
    return nullptr;
}

BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer)
{
    if (SimFaultHit("GetUserNameA", "", nullptr))
        return SimFail("GetUserNameA", "", ERROR_ACCESS_DENIED);
    // The size counts the NUL, going in and coming out.
    const std::string& name = Machine().session.userName;
    DWORD needed = (DWORD)name.size() + 1;
    if (*pcbBuffer < needed) {
        *pcbBuffer = needed;
        return SimFail("GetUserNameA", "", ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(lpBuffer, name.c_str(), needed);
    *pcbBuffer = needed;
    SimRecordCall("GetUserNameA", "", TRUE);
    return TRUE;
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    *lpSystemTime = Machine().session.localTime;
}

UINT WINAPI GetACP(void)
{
    return Machine().process.doubleByteCodePage ? 932 : 1252;
}

// The iconv name of a Windows code page, CP_ACP being the machine's.
static std::string CodePageName(UINT codePage)
{
    if (codePage == CP_ACP)
        codePage = GetACP();
    return codePage == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(codePage);
}

// Converts length bytes (-1: up to and with the NUL) from one character set into another; false
// when the bytes do not belong to the first.
static bool Convert(const std::string& from, const std::string& to, const char* bytes, size_t length,
                    std::string* out)
{
    iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == (iconv_t)-1)
        return false;
    std::string result(length * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes);
    size_t inLeft = length;
    char* next = &result[0];
    size_t outLeft = result.size();
    size_t done = iconv(converter, &in, &inLeft, &next, &outLeft);
    iconv_close(converter);
    if (done == (size_t)-1)
        return false;
    result.resize(result.size() - outLeft);
    *out = result;
    return true;
}

// The count of units written (the NUL included when the length is -1), or with no room given the
// count needed; 0 and ERROR_INSUFFICIENT_BUFFER when it does not fit, after what fits is written
// (Wine's way, which the contract shows).
static int CopyUnits(const char* operation, const std::string& converted, size_t unit, void* buffer,
                     int capacity)
{
    int units = (int)(converted.size() / unit);
    if (capacity == 0) {
        SimRecordCall(operation, "", units);
        return units;
    }
    if (units > capacity) {
        memcpy(buffer, converted.data(), (size_t)capacity * unit);
        return SimFail(operation, "", ERROR_INSUFFICIENT_BUFFER);
    }
    memcpy(buffer, converted.data(), converted.size());
    SimRecordCall(operation, "", units);
    return units;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    (void)dwFlags;
    if (SimFaultHit("MultiByteToWideChar", "", nullptr))
        return SimFail("MultiByteToWideChar", "", ERROR_INVALID_PARAMETER);
    size_t length = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : (size_t)cbMultiByte;
    std::string converted;
    if (!Convert(CodePageName(CodePage), "UTF-16LE", lpMultiByteStr, length, &converted))
        return SimFail("MultiByteToWideChar", "", ERROR_NO_UNICODE_TRANSLATION);
    return CopyUnits("MultiByteToWideChar", converted, sizeof(WCHAR), lpWideCharStr, cchWideChar);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar)
{
    (void)dwFlags;
    (void)lpDefaultChar;
    if (SimFaultHit("WideCharToMultiByte", "", nullptr))
        return SimFail("WideCharToMultiByte", "", ERROR_INVALID_PARAMETER);
    size_t units = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[units] != 0)
            units++;
        units++;
    } else {
        units = (size_t)cchWideChar;
    }
    std::string converted;
    if (!Convert("UTF-16LE", CodePageName(CodePage), (const char*)lpWideCharStr, units * sizeof(WCHAR),
                 &converted))
        return SimFail("WideCharToMultiByte", "", ERROR_NO_UNICODE_TRANSLATION);
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = FALSE;
    return CopyUnits("WideCharToMultiByte", converted, 1, lpMultiByteStr, cbMultiByte);
}
