// The simulated registry: keys, values, handles and the refusals of each line of Windows.
#include <stdio.h>

#include <algorithm>
#include <set>

#include "platform/sim/sim_registry_tree.h"

// An open handle names its key by root and path, never by pointer: deleting the key (or a key
// above it) leaves the handle valid but pointing at nothing, as on Windows.
struct HKEY__ {
    ULONG_PTR root;
    std::vector<std::string> path;  // folded components below the root
    REGSAM access;
};

static std::set<SimKey*> g_handles;

static bool IsNtLine()
{
    return Machine().process.platformId == VER_PLATFORM_WIN32_NT;
}

static bool IsRoot(HKEY key)
{
    return Machine().registry.roots.count((ULONG_PTR)key) != 0;
}

// The folded path below root that a call of the program reaches, base path and subkey joined.
static std::vector<std::string> CallPath(ULONG_PTR root, const std::vector<std::string>& base,
                                         const std::string& subkey, REGSAM access)
{
    std::vector<std::string> path = base;
    for (const std::string& part : SplitKeyPath(subkey))
        path.push_back(part);
    path = Wow64View(root, path, access);
    for (std::string& part : path)
        part = FoldCase(part);
    return path;
}

// What a handle stands for: its root, its path and the access it was opened with.
struct KeyTarget {
    LSTATUS status;
    ULONG_PTR root;
    std::vector<std::string> path;
    REGSAM access;
    SimKeyNode* node;
};

static KeyTarget Resolve(HKEY key)
{
    KeyTarget target = {ERROR_SUCCESS, 0, {}, KEY_ALL_ACCESS, nullptr};
    if (IsRoot(key)) {
        target.root = (ULONG_PTR)key;
    } else if (g_handles.count(key)) {
        target.root = key->root;
        target.path = key->path;
        target.access = key->access;
    } else {
        target.status = ERROR_INVALID_HANDLE;
        return target;
    }
    target.node = FindNode(target.root, target.path);
    if (!target.node)
        target.status = ERROR_KEY_DELETED;
    return target;
}

// The consumer line keeps no security on keys; on the NT line a denied key opens for reading
// only, and a handle grants only what it was opened with.
static bool Denied(const SimKeyNode& node, REGSAM wanted)
{
    return IsNtLine() && node.denyAllAccess && (wanted & ~KEY_READ) != 0;
}

static bool HandleLacks(const KeyTarget& target, REGSAM needed)
{
    return IsNtLine() && (target.access & needed) != needed;
}

static LSTATUS Done(const char* operation, const std::string& argument, LSTATUS status)
{
    SimRecordCall(operation, argument, status);
    return status;
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult)
{
    (void)ulOptions;
    std::string subkey = lpSubKey ? lpSubKey : "";
    if (SimFaultHit("RegOpenKeyExA", subkey.c_str(), nullptr))
        return Done("RegOpenKeyExA", subkey, ERROR_ACCESS_DENIED);
    if (!phkResult)
        return Done("RegOpenKeyExA", subkey, ERROR_INVALID_PARAMETER);
    KeyTarget base = Resolve(hKey);
    if (base.status != ERROR_SUCCESS)
        return Done("RegOpenKeyExA", subkey, base.status);
    std::vector<std::string> path = CallPath(base.root, base.path, subkey, samDesired);
    SimKeyNode* node = FindNode(base.root, path);
    if (!node)
        return Done("RegOpenKeyExA", subkey, ERROR_FILE_NOT_FOUND);
    if (Denied(*node, samDesired))
        return Done("RegOpenKeyExA", subkey, ERROR_ACCESS_DENIED);
    SimKey* handle = new SimKey{base.root, path, samDesired};
    g_handles.insert(handle);
    ++Machine().registry.openKeys;
    *phkResult = handle;
    return Done("RegOpenKeyExA", subkey, ERROR_SUCCESS);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    std::string name = lpValueName ? lpValueName : "";
    SimFaultKind kind = SimFaultError;
    bool fault = SimFaultHit("RegQueryValueExA", name.c_str(), &kind);
    if (fault && kind != SimFaultNoNul && kind != SimFaultShortRead)
        return Done("RegQueryValueExA", name, ERROR_ACCESS_DENIED);
    if (lpReserved || (lpData && !lpcbData))
        return Done("RegQueryValueExA", name, ERROR_INVALID_PARAMETER);
    KeyTarget target = Resolve(hKey);
    if (target.status != ERROR_SUCCESS)
        return Done("RegQueryValueExA", name, target.status);
    if (HandleLacks(target, KEY_QUERY_VALUE))
        return Done("RegQueryValueExA", name, ERROR_ACCESS_DENIED);
    auto value = target.node->values.find(FoldCase(name));
    if (value == target.node->values.end())
        return Done("RegQueryValueExA", name, ERROR_FILE_NOT_FOUND);

    std::string data = value->second.data;
    if (fault && kind == SimFaultShortRead) {
        data.resize(data.size() / 2);
    } else if (fault && kind == SimFaultNoNul) {
        // The value as if stored without its NUL: a long one fills the whole buffer, and the
        // read still succeeds, as a string written without terminator does on Windows.
        while (!data.empty() && data.back() == '\0')
            data.pop_back();
        if (lpcbData && data.size() > *lpcbData)
            data.resize(*lpcbData);
    }
    if (lpType)
        *lpType = value->second.type;
    if (!lpcbData)
        return Done("RegQueryValueExA", name, ERROR_SUCCESS);
    DWORD capacity = *lpcbData;
    *lpcbData = (DWORD)data.size();
    if (!lpData)  // a size query
        return Done("RegQueryValueExA", name, ERROR_SUCCESS);
    // Too small a buffer: the size needed comes back and the buffer's contents are undefined
    // (this machine leaves them untouched).
    if (data.size() > capacity)
        return Done("RegQueryValueExA", name, ERROR_MORE_DATA);
    memcpy(lpData, data.data(), data.size());
    return Done("RegQueryValueExA", name, ERROR_SUCCESS);
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    if (SimFaultHit("RegQueryInfoKeyA", "", nullptr))
        return Done("RegQueryInfoKeyA", "", ERROR_ACCESS_DENIED);
    if (lpReserved)
        return Done("RegQueryInfoKeyA", "", ERROR_INVALID_PARAMETER);
    KeyTarget target = Resolve(hKey);
    if (target.status != ERROR_SUCCESS)
        return Done("RegQueryInfoKeyA", "", target.status);
    if (HandleLacks(target, KEY_QUERY_VALUE))
        return Done("RegQueryInfoKeyA", "", ERROR_ACCESS_DENIED);
    const SimKeyNode& node = *target.node;
    DWORD maxSubkey = 0, maxName = 0, maxData = 0;
    for (const auto& subkey : node.subkeys)
        maxSubkey = std::max(maxSubkey, (DWORD)subkey.second.name.size());
    for (const auto& value : node.values) {
        maxName = std::max(maxName, (DWORD)value.second.name.size());
        maxData = std::max(maxData, (DWORD)value.second.data.size());
    }
    if (lpClass && lpcchClass && *lpcchClass > 0)
        lpClass[0] = '\0';
    if (lpcchClass)
        *lpcchClass = 0;
    if (lpcSubKeys)
        *lpcSubKeys = (DWORD)node.subkeys.size();
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = maxSubkey;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = (DWORD)node.values.size();
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return Done("RegQueryInfoKeyA", "", ERROR_SUCCESS);
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    std::string subkey = lpSubKey ? lpSubKey : "";
    if (SimFaultHit("RegDeleteKeyA", subkey.c_str(), nullptr))
        return Done("RegDeleteKeyA", subkey, ERROR_ACCESS_DENIED);
    if (!lpSubKey)
        return Done("RegDeleteKeyA", subkey, ERROR_INVALID_PARAMETER);
    KeyTarget base = Resolve(hKey);
    if (base.status != ERROR_SUCCESS)
        return Done("RegDeleteKeyA", subkey, base.status);
    std::vector<std::string> path = CallPath(base.root, base.path, subkey, 0);
    // A root itself is never deleted.
    if (path.empty())
        return Done("RegDeleteKeyA", subkey, ERROR_ACCESS_DENIED);
    SimKeyNode* node = FindNode(base.root, path);
    if (!node)
        return Done("RegDeleteKeyA", subkey, ERROR_FILE_NOT_FOUND);
    // The NT line refuses a key that still has subkeys; the consumer line deletes the key with
    // all its subkeys.
    if (IsNtLine() && !node->subkeys.empty())
        return Done("RegDeleteKeyA", subkey, ERROR_ACCESS_DENIED);
    if (Denied(*node, KEY_ALL_ACCESS))
        return Done("RegDeleteKeyA", subkey, ERROR_ACCESS_DENIED);
    std::string last = path.back();
    path.pop_back();
    FindNode(base.root, path)->subkeys.erase(last);
    return Done("RegDeleteKeyA", subkey, ERROR_SUCCESS);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    std::string name = lpValueName ? lpValueName : "";
    if (SimFaultHit("RegDeleteValueA", name.c_str(), nullptr))
        return Done("RegDeleteValueA", name, ERROR_ACCESS_DENIED);
    KeyTarget target = Resolve(hKey);
    if (target.status != ERROR_SUCCESS)
        return Done("RegDeleteValueA", name, target.status);
    if (HandleLacks(target, KEY_SET_VALUE))
        return Done("RegDeleteValueA", name, ERROR_ACCESS_DENIED);
    if (target.node->values.erase(FoldCase(name)) == 0)
        return Done("RegDeleteValueA", name, ERROR_FILE_NOT_FOUND);
    return Done("RegDeleteValueA", name, ERROR_SUCCESS);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (SimFaultHit("RegCloseKey", "", nullptr))
        return Done("RegCloseKey", "", ERROR_INVALID_HANDLE);
    // Closing a predefined root is allowed and does nothing.
    if (IsRoot(hKey))
        return Done("RegCloseKey", "", ERROR_SUCCESS);
    if (g_handles.erase(hKey) == 0)
        return Done("RegCloseKey", "", ERROR_INVALID_HANDLE);
    delete hKey;
    --Machine().registry.openKeys;
    return Done("RegCloseKey", "", ERROR_SUCCESS);
}

void SimReleaseKeyHandles()
{
    for (SimKey* handle : g_handles)
        delete handle;
    g_handles.clear();
}
