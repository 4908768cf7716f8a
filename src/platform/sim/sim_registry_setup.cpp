// What tests put into the simulated registry and read back from it.
#include <stdio.h>

#include "platform/sim/sim_registry_tree.h"

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
