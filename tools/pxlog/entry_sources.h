// Where the entries of a new log come from: a typed list, or a local folder tree.
#ifndef PXLOG_ENTRY_SOURCES_H
#define PXLOG_ENTRY_SOURCES_H

#include <stdio.h>

#include <string>
#include <vector>

#include "log_writer.h"

// Reads "file PATH" and "dir PATH" lines; blank lines and lines starting with # are skipped.
// 1 on success; 0 with "line N: ..." in error.
int ReadEntryList(FILE* stream, std::vector<PlannedEntry>* entries, std::string* error);

// Lists the local folder localDir as the Windows folder windowsDir: every folder before its
// contents, names sorted, so that the removal pass (newest first) empties each folder before
// its turn. The folder itself comes first unless includeRoot is 0. 1 on success; 0 with error.
int CollectTreeEntries(const std::string& localDir, const std::string& windowsDir,
                       int includeRoot, std::vector<PlannedEntry>* entries, std::string* error);

#endif
