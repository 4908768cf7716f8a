// The simulated registry's own part: declared denied access, declared faults, handle bookkeeping,
// and what the contract cannot try on Wine (a denied key, deleting a root).
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/sim.h"

namespace {

const char kSentinel = '\x7F';
const char* const kProduct = "Software\\Morvaine\\Plexitone";

// HKLM\Software\Morvaine\Plexitone holds a string, a DWORD and the subkey Audio;
// HKCU\Software\Locked refuses every access beyond reading.
void BuildRegistry(DWORD line)
{
    ResetMachine(line);
    SetString(HKEY_LOCAL_MACHINE, kProduct, "PlexitonePipe", "pxpipe.dll");
    SetDword(HKEY_LOCAL_MACHINE, kProduct, "Count", 3);
    AddKey(HKEY_LOCAL_MACHINE, "Software\\Morvaine\\Plexitone\\Audio");
    AddKey(HKEY_CURRENT_USER, "Software\\Locked");
    DenyAllAccess(HKEY_CURRENT_USER, "Software\\Locked");
}

struct OpenRow {
    const char* name;
    DWORD line;
    HKEY root;
    const char* path;
    REGSAM access;
    LSTATUS status;
};

TEST(SimRegistry, OpenCountsHandlesAndRefusesDeclaredDeniedAccess)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT, consumer = VER_PLATFORM_WIN32_WINDOWS;
    const OpenRow rows[] = {
        {"exact case", nt, HKEY_LOCAL_MACHINE, "Software\\Morvaine", KEY_ALL_ACCESS, 0},
        {"other root", nt, HKEY_CURRENT_USER, "Software\\Morvaine", KEY_READ,
         ERROR_FILE_NOT_FOUND},
        {"denied, all access", nt, HKEY_CURRENT_USER, "Software\\Locked", KEY_ALL_ACCESS,
         ERROR_ACCESS_DENIED},
        {"denied, read", nt, HKEY_CURRENT_USER, "Software\\Locked", KEY_READ, 0},
        {"consumer line has no security", consumer, HKEY_CURRENT_USER, "Software\\Locked",
         KEY_ALL_ACCESS, 0},
    };
    for (const OpenRow& row : rows) {
        SCOPED_TRACE(row.name);
        BuildRegistry(row.line);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(row.root, row.path, 0, row.access, &key), row.status);
        EXPECT_EQ(Machine().registry.openKeys, row.status == ERROR_SUCCESS ? 1 : 0);
        if (row.status == ERROR_SUCCESS) {
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
            EXPECT_EQ(Machine().registry.openKeys, 0);
            EXPECT_EQ(RegCloseKey(key), (LSTATUS)ERROR_INVALID_HANDLE);
        }
    }
}

struct QueryRow {
    const char* name;
    const char* value;
    DWORD capacity;
    SimFaultKind fault;
    bool faulted;
    LSTATUS status;
    DWORD size;            // *lpcbData afterwards
    std::string written;   // the buffer's bytes up to the first sentinel
};

// A REG_DWORD, which the contract's scratch keys do not hold, and the declared faults.
TEST(SimRegistry, QueryValueOfADwordAndUnderDeclaredFaults)
{
    const QueryRow rows[] = {
        {"dword", "Count", 4, SimFaultError, false, 0, 4, std::string("\3\0\0\0", 4)},
        {"no NUL, long value fills buffer", "PlexitonePipe", 6, SimFaultNoNul, true, 0, 6,
         "pxpipe"},
        {"no NUL, short value", "PlexitonePipe", 260, SimFaultNoNul, true, 0, 10, "pxpipe.dll"},
        {"short read", "PlexitonePipe", 260, SimFaultShortRead, true, 0, 5, "pxpip"},
        {"error fault", "PlexitonePipe", 260, SimFaultError, true, ERROR_ACCESS_DENIED, 260, ""},
    };
    for (const QueryRow& row : rows) {
        SCOPED_TRACE(row.name);
        BuildRegistry(VER_PLATFORM_WIN32_NT);
        if (row.faulted)
            FailCall("RegQueryValueExA", 1, row.fault);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProduct, 0, KEY_READ, &key), ERROR_SUCCESS);
        char buffer[300];
        memset(buffer, kSentinel, sizeof buffer);
        DWORD type = 99, size = row.capacity;
        LSTATUS status = RegQueryValueExA(key, row.value, nullptr, &type, (LPBYTE)buffer, &size);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(size, row.size);
        const char* end = (const char*)memchr(buffer, kSentinel, sizeof buffer);
        EXPECT_EQ(std::string(buffer, end - buffer), row.written);
        if (status == ERROR_SUCCESS) {
            EXPECT_EQ(type, std::string(row.value) == "Count" ? REG_DWORD : REG_SZ);
        }
        RegCloseKey(key);
    }
}

struct DeleteRow {
    const char* name;
    DWORD line;
    HKEY root;
    const char* path;
    LSTATUS status;
    bool productLeft;  // HKLM\Software\Morvaine\Plexitone afterwards
    bool audioLeft;    // its subkey Audio afterwards
};

TEST(SimRegistry, DeleteKeyRefusesADeniedKeyAndARoot)
{
    const DWORD nt = VER_PLATFORM_WIN32_NT;
    const DeleteRow rows[] = {
        {"denied key", nt, HKEY_CURRENT_USER, "Software\\Locked", ERROR_ACCESS_DENIED, true,
         true},
        {"a root itself", nt, HKEY_LOCAL_MACHINE, "", ERROR_ACCESS_DENIED, true, true},
    };
    for (const DeleteRow& row : rows) {
        SCOPED_TRACE(row.name);
        BuildRegistry(row.line);
        EXPECT_EQ(RegDeleteKeyA(row.root, row.path), row.status);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kProduct), row.productLeft);
        EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Morvaine\\Plexitone\\Audio"),
                  row.audioLeft);
    }
}

}  // namespace
