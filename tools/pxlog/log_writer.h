// Writing an uninstall log "_pxunins.dat" from a list of entries.
#ifndef PXLOG_LOG_WRITER_H
#define PXLOG_LOG_WRITER_H

#include <stdint.h>

#include <string>
#include <vector>

// One entry to write: the kind word (0 file, 1 folder) and the path bytes without a NUL.
struct PlannedEntry {
    uint32_t kind;
    std::string path;
};

// The whole log as bytes: header, then each entry's kind, length and path.
std::string FormatUninstallLog(const std::vector<PlannedEntry>& entries);

// Empty when the path has 1 to 259 bytes, otherwise why the uninstaller would refuse it.
std::string CheckLoggablePath(const std::string& path);

// Empty when every path has 1 to 259 bytes, otherwise why the first bad one would be refused.
std::string FindUnloggablePath(const std::vector<PlannedEntry>& entries);

// Writes the log to a local file. 1 on success; 0 with the reason in error, and no partial file.
int WriteUninstallLog(const char* outPath, const std::vector<PlannedEntry>& entries,
                      std::string* error);

#endif
