// Writing an uninstall log "_pxunins.dat": every number a 32-bit little-endian word, no padding.
#include "log_writer.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "path_text.h"
#include "uninstall_log/log_loader.h"

static void AppendWord(std::string* bytes, uint32_t value)
{
    bytes->push_back((char)(value & 0xFF));
    bytes->push_back((char)((value >> 8) & 0xFF));
    bytes->push_back((char)((value >> 16) & 0xFF));
    bytes->push_back((char)((value >> 24) & 0xFF));
}

std::string FormatUninstallLog(const std::vector<PlannedEntry>& entries)
{
    std::string bytes;
    AppendWord(&bytes, UninstallLogMagic);
    AppendWord(&bytes, 0);  // the second header word; the loader refuses anything else
    AppendWord(&bytes, (uint32_t)(int32_t)entries.size());
    for (const PlannedEntry& entry : entries) {
        AppendWord(&bytes, entry.kind);
        AppendWord(&bytes, (uint32_t)(int32_t)entry.path.size());
        bytes += entry.path;  // no NUL: the length says where the path ends
    }
    return bytes;
}

std::string CheckLoggablePath(const std::string& path)
{
    if (path.size() >= 1 && path.size() <= kLongestLoggedPath)
        return "";
    char reason[160];
    snprintf(reason, sizeof reason,
             "the path is %d bytes; the uninstaller accepts 1 to %d and refuses the whole log",
             (int)path.size(), (int)kLongestLoggedPath);
    return std::string(reason) + (path.empty() ? "" : ": " + ShowPathBytes(path));
}

std::string FindUnloggablePath(const std::vector<PlannedEntry>& entries)
{
    for (size_t i = 0; i < entries.size(); i++) {
        std::string why = CheckLoggablePath(entries[i].path);
        if (!why.empty())
            return "entry " + std::to_string(i + 1) + ": " + why;
    }
    return "";
}

int WriteUninstallLog(const char* outPath, const std::vector<PlannedEntry>& entries,
                      std::string* error)
{
    *error = FindUnloggablePath(entries);
    if (!error->empty())
        return 0;

    std::string bytes = FormatUninstallLog(entries);
    FILE* stream = fopen(outPath, "wb");
    if (stream == NULL) {
        *error = std::string("cannot create ") + outPath + ": " + strerror(errno);
        return 0;
    }
    size_t written = fwrite(bytes.data(), 1, bytes.size(), stream);
    // fclose flushes: a full disk may show only here.
    int closed = fclose(stream) == 0;
    if (written != bytes.size() || !closed) {
        *error = std::string("cannot write ") + outPath + ": " + strerror(errno);
        remove(outPath);
        return 0;
    }
    return 1;
}
