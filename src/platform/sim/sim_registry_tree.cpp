// The simulated registry's tree of keys, and the view of it that WoW64 gives a 32-bit program.
#include "platform/sim/sim_registry_tree.h"

// Registry paths separate keys by backslashes only; a forward slash is part of a key's name.
// Empty components (a leading, trailing or doubled backslash) are skipped.
std::vector<std::string> SplitKeyPath(const std::string& path)
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
std::vector<std::string> Wow64View(ULONG_PTR root, std::vector<std::string> path,
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

SimKeyNode* FindNode(ULONG_PTR root, const std::vector<std::string>& path)
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
