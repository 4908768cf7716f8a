// The simulated registry: keys, values, handles and the refusals of each line of Windows.
#include <stdio.h>

#include <algorithm>
#include <set>

#include "platform/sim/sim_internal.h"

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

// Registry paths separate keys by backslashes only; a forward slash is part of a key's name.
// Empty components (a leading, trailing or doubled backslash) are skipped.
static std::vector<std::string> SplitKeyPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// On 64-bit Windows a 32-bit program's keys under HKLM\Software lie under Software\Wow6432Node,
// except App Paths, which Wine shares between the views: there Wow6432Node\...\App Paths is the
// machine's own key too. KEY_WOW64_64KEY opens the machine's keys as named. Only the case of the
// inserted name is this function's own.
static std::vector<std::string> Wow64View(ULONG_PTR root, std::vector<std::string> path,
                                          REGSAM access)
{
    if (Machine().width != SimWindows64 || root != (ULONG_PTR)HKEY_LOCAL_MACHINE ||
        path.empty() || FoldCase(path[0]) != "software")
        return path;
    std::vector<std::string> unredirected = path;
    if (path.size() > 1 && FoldCase(path[1]) == "wow6432node")
        unredirected.erase(unredirected.begin() + 1);
    static const char* const kShared[] = {"software", "microsoft", "windows", "currentversion",
                                          "app paths"};
    const size_t sharedDepth = sizeof kShared / sizeof kShared[0];
    bool shared = unredirected.size() >= sharedDepth;
    for (size_t i = 0; shared && i < sharedDepth; ++i)
        shared = FoldCase(unredirected[i]) == kShared[i];
    if (shared)
        return unredirected;
    if (access & KEY_WOW64_64KEY)
        return path;
    unredirected.insert(unredirected.begin() + 1, "Wow6432Node");
    return unredirected;
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

static SimKeyNode* FindNode(ULONG_PTR root, const std::vector<std::string>& path)
{
    auto top = Machine().registry.roots.find(root);
    if (top == Machine().registry.roots.end())
        return nullptr;
    SimKeyNode* node = &top->second;
    for (const std::string& part : path) {
        auto next = node->subkeys.find(FoldCase(part));
        if (next == node->subkeys.end())
            return nullptr;
        node = &next->second;
    }
    return node;
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

// ---- helpers for tests ----------------------------------------------------------------------

static SimKeyNode* RootNode(HKEY root, const char* helper)
{
    auto top = Machine().registry.roots.find((ULONG_PTR)root);
    if (top == Machine().registry.roots.end()) {
        fprintf(stderr, "%s: not a registry root\n", helper);
        abort();
    }
    return &top->second;
}

static SimKeyNode* HelperFind(HKEY root, const std::string& keyPath, const char* helper)
{
    RootNode(root, helper);
    std::vector<std::string> path;
    for (const std::string& part : SplitKeyPath(keyPath))
        path.push_back(FoldCase(part));
    return FindNode((ULONG_PTR)root, path);
}

static SimKeyNode* HelperCreate(HKEY root, const std::string& keyPath, const char* helper)
{
    SimKeyNode* node = RootNode(root, helper);
    for (const std::string& part : SplitKeyPath(keyPath)) {
        SimKeyNode& child = node->subkeys[FoldCase(part)];
        if (child.name.empty())
            child.name = part;
        node = &child;
    }
    return node;
}

void AddKey(HKEY root, const std::string& keyPath)
{
    HelperCreate(root, keyPath, "AddKey");
}

void SetValue(HKEY root, const std::string& keyPath, const std::string& name, DWORD type,
              const std::string& data)
{
    SimKeyNode* node = HelperCreate(root, keyPath, "SetValue");
    SimValue& value = node->values[FoldCase(name)];
    value.name = name;
    value.type = type;
    value.data = data;
}

void SetString(HKEY root, const std::string& keyPath, const std::string& name,
               const std::string& text, DWORD type)
{
    SetValue(root, keyPath, name, type, std::string(text.c_str(), text.size() + 1));
}

void SetDword(HKEY root, const std::string& keyPath, const std::string& name, DWORD value)
{
    std::string data;
    for (int i = 0; i < 4; ++i)  // little-endian, as Windows stores a REG_DWORD
        data += (char)((value >> (8 * i)) & 0xFF);
    SetValue(root, keyPath, name, REG_DWORD, data);
}

std::string RedirectedKeyPath(HKEY root, const std::string& keyPath)
{
    RootNode(root, "RedirectedKeyPath");
    std::string joined;
    for (const std::string& part : Wow64View((ULONG_PTR)root, SplitKeyPath(keyPath), 0))
        joined += (joined.empty() ? "" : "\\") + part;
    return joined;
}

bool KeyExists(HKEY root, const std::string& keyPath)
{
    return HelperFind(root, keyPath, "KeyExists") != nullptr;
}

bool ValueExists(HKEY root, const std::string& keyPath, const std::string& name)
{
    SimKeyNode* node = HelperFind(root, keyPath, "ValueExists");
    return node && node->values.count(FoldCase(name)) != 0;
}

std::string ValueData(HKEY root, const std::string& keyPath, const std::string& name)
{
    SimKeyNode* node = HelperFind(root, keyPath, "ValueData");
    if (!node)
        return std::string();
    auto value = node->values.find(FoldCase(name));
    return value == node->values.end() ? std::string() : value->second.data;
}

void DenyAllAccess(HKEY root, const std::string& keyPath)
{
    SimKeyNode* node = HelperFind(root, keyPath, "DenyAllAccess");
    if (!node) {
        fprintf(stderr, "DenyAllAccess: no key %s\n", keyPath.c_str());
        abort();
    }
    node->denyAllAccess = true;
}

static const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return nullptr;
    }
}

static void ListNode(const SimKeyNode& node, const std::string& prefix,
                     std::vector<std::string>& rows)
{
    rows.push_back(prefix);
    for (const auto& entry : node.values) {
        const SimValue& value = entry.second;
        const char* type = TypeName(value.type);
        std::string row = prefix + " : " + (value.name.empty() ? "@" : value.name) + " = " +
                          (type ? type : std::to_string(value.type)) + ":";
        char hex[3];
        for (unsigned char byte : value.data) {
            snprintf(hex, sizeof hex, "%02x", byte);
            row += hex;
        }
        rows.push_back(row);
    }
    for (const auto& subkey : node.subkeys)
        ListNode(subkey.second, prefix + "\\" + subkey.second.name, rows);
}

std::vector<std::string> ListRegistry()
{
    std::vector<std::string> rows;
    for (const auto& root : Machine().registry.roots) {
        for (const auto& subkey : root.second.subkeys)
            ListNode(subkey.second, root.second.name + "\\" + subkey.second.name, rows);
    }
    return rows;
}
