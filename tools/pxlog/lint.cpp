// Findings in a log the uninstaller accepts: entries that will not go, or go wrong.
#include "lint.h"

#include <algorithm>
#include <map>
#include <utility>

#include "foundation/paths.h"
#include "path_text.h"
#include "uninstall_log/removal_list.h"

// What every check needs: the entries, their path keys, and the install folder's key.
struct LintContext {
    const LogReading& reading;
    std::vector<std::string> keys;  // PathKey of each entry's path, in file order
    std::string installKey;         // empty when the install folder is unknown
};

typedef void (*EntryCheck)(const LintContext& context, size_t index,
                           std::vector<LintFinding>* findings);

static void Add(std::vector<LintFinding>* findings, const LogReading& reading, size_t index,
                const std::string& text)
{
    findings->push_back({(int)index + 1, reading.entries[index].offset, text});
}

static std::string Quote(const std::string& path)
{
    return "\"" + ShowPathBytes(path) + "\"";
}

static void AddFolderOrderFinding(const LintContext& context, size_t folder, size_t inside,
                                  size_t first, std::vector<LintFinding>* findings)
{
    const LogReading& reading = context.reading;
    Add(findings, reading, folder,
        "folder " + Quote(reading.entries[folder].path) + " is listed after " +
            std::to_string(inside) + " entr" + (inside == 1 ? "y" : "ies") +
            " inside it (first: entry " + std::to_string(first + 1) + " " +
            Quote(reading.entries[first].path) +
            "); its turn comes before theirs, it is not empty then, and it is left behind. "
            "List a folder before its contents");
}

// Folder keys that hold the path: "c:\a\b\c" lies in "c:\a\b", "c:\a" and "c:\".
static std::vector<std::string> EnclosingKeys(const std::string& key)
{
    std::vector<std::string> enclosing;
    for (size_t p = key.find('\\'); p != std::string::npos && p + 1 < key.size();
         p = key.find('\\', p + 1)) {
        if (p > 0)
            enclosing.push_back(key.substr(0, p));
        if (p == 2 && key[1] == ':')
            enclosing.push_back(key.substr(0, 3));
    }
    return enclosing;
}

// The removal pass goes newest first: the folder's turn comes before the entries listed above
// it, so at its turn it still holds them and RemoveDirectoryA refuses.
static void CheckFolderOrder(const LintContext& context, std::vector<LintFinding>* findings)
{
    const LogReading& reading = context.reading;
    std::map<std::string, std::vector<size_t> > folders;
    for (size_t i = 0; i < reading.entries.size(); i++)
        if (reading.entries[i].kind == EntryKindDirectory)
            folders[context.keys[i]].push_back(i);

    // For each folder entry: how many entries inside it come earlier, and the first of them.
    std::map<size_t, std::pair<size_t, size_t> > early;
    for (size_t i = 0; i < reading.entries.size(); i++)
        for (const std::string& enclosing : EnclosingKeys(context.keys[i])) {
            auto found = folders.find(enclosing);
            if (found == folders.end())
                continue;
            for (size_t folder : found->second)
                if (folder > i && early[folder].first++ == 0)
                    early[folder].second = i;
        }
    for (const auto& item : early)
        AddFolderOrderFinding(context, item.first, item.second.first, item.second.second,
                              findings);
}

// The second removal of one path finds nothing; usually a sign of two lists merged by hand.
static void CheckRepeated(const LintContext& context, std::vector<LintFinding>* findings)
{
    std::map<std::string, size_t> firstByKey;
    for (size_t i = 0; i < context.keys.size(); i++) {
        auto inserted = firstByKey.insert({context.keys[i], i});
        if (inserted.second)
            continue;
        Add(findings, context.reading, i,
            Quote(context.reading.entries[i].path) + " is already listed as entry " +
                std::to_string(inserted.first->second + 1) +
                "; the second removal finds nothing");
    }
}

// The removal pass hands a path to Windows only when it is full: anything else would resolve
// against the current folder, the system folder when started from the list of programs.
static void CheckNotFullPath(const LintContext& context, size_t index,
                             std::vector<LintFinding>* findings)
{
    const std::string& path = context.reading.entries[index].path;
    if (IsFullPath(path.c_str()))
        return;
    Add(findings, context.reading, index,
        Quote(path) + " is not a full path; the uninstaller accepts the log and shows the entry "
        "in its progress, but leaves it alone and never deletes it. Use \"X:\\...\" or "
        "\"\\\\server\\share\\...\"");
}

static void CheckOutsideInstallDir(const LintContext& context, size_t index,
                                   std::vector<LintFinding>* findings)
{
    const std::string& path = context.reading.entries[index].path;
    const std::string& key = context.keys[index];
    if (context.installKey.empty() || !IsFullPath(path.c_str()))
        return;
    if (key == context.installKey || IsInsideKey(key, context.installKey))
        return;
    std::string resolved = ResolveFullPath(path);
    Add(findings, context.reading, index,
        Quote(path) + " is outside the install folder" +
            (resolved == path ? "" : " (Windows resolves it to " + Quote(resolved) + ")"));
}

// With the install folder known, only its own copy counts; without, any file of that name.
// An entry that is not a full path is left alone, whatever its name.
static int IsOwnFile(const LintContext& context, size_t index, const char* name)
{
    if (!IsFullPath(context.reading.entries[index].path.c_str()))
        return 0;
    if (context.installKey.empty())
        return FoldCase(LastComponent(context.keys[index])) == FoldCase(name);
    return context.keys[index] == JoinWindowsPath(context.installKey, FoldCase(name));
}

static void CheckOwnFiles(const LintContext& context, size_t index,
                          std::vector<LintFinding>* findings)
{
    const std::string& path = context.reading.entries[index].path;
    if (IsOwnFile(context, index, kUninstallerFileName))
        Add(findings, context.reading, index,
            Quote(path) + " is the uninstaller itself; a running program cannot delete its "
            "own file, so it stays, and so does its folder");
    if (IsOwnFile(context, index, kLogFileName))
        Add(findings, context.reading, index,
            Quote(path) + " is the uninstall log itself; the uninstaller closes the log once it "
            "is loaded, so the removal pass deletes it, and the next run finds no log and takes "
            "the fallback road, removing nothing of the installation folder");
}

static void CheckEmbeddedNul(const LintContext& context, size_t index,
                             std::vector<LintFinding>* findings)
{
    const LoggedEntry& entry = context.reading.entries[index];
    if (entry.path.size() == entry.bytes.size())
        return;
    Add(findings, context.reading, index,
        "the path holds a NUL at byte " + std::to_string(entry.path.size() + 1) + " of " +
            std::to_string(entry.length) + "; the uninstaller uses only " + Quote(entry.path) +
            " and ignores " + Quote(entry.bytes.substr(entry.path.size())));
}

static void CheckTrailingBytes(const LogReading& reading, std::vector<LintFinding>* findings)
{
    long extra = reading.fileSize - reading.endOfEntries;
    if (extra <= 0)
        return;
    std::string counted = reading.count > 0 ? "the last counted entry" : "the header";
    findings->push_back(
        {0, reading.endOfEntries,
         std::to_string(extra) + " byte" + (extra == 1 ? "" : "s") + " after " + counted +
             " (count " + std::to_string(reading.count) + "), at offset " +
             std::to_string(reading.endOfEntries) + "; the uninstaller never reads them"});
}

std::vector<LintFinding> LintLog(const LogReading& reading, const std::string& installDir)
{
    static const EntryCheck checks[] = {CheckEmbeddedNul, CheckNotFullPath, CheckOutsideInstallDir,
                                        CheckOwnFiles};
    LintContext context = {reading, {}, installDir.empty() ? "" : PathKey(installDir)};
    for (const LoggedEntry& entry : reading.entries)
        context.keys.push_back(PathKey(entry.path));

    std::vector<LintFinding> findings;
    for (size_t index = 0; index < reading.entries.size(); index++)
        for (EntryCheck check : checks)
            check(context, index, &findings);
    CheckRepeated(context, &findings);
    CheckFolderOrder(context, &findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.entry < b.entry; });
    // The finding about the file as a whole goes last.
    CheckTrailingBytes(reading, &findings);
    return findings;
}
