// Findings in a log the uninstaller accepts: entries that will not go, or go wrong.
#ifndef PXLOG_LINT_H
#define PXLOG_LINT_H

#include <string>
#include <vector>

#include "log_reader.h"

struct LintFinding {
    int entry;          // the entry's number from 1, or 0 for the file as a whole
    long offset;        // of the entry, or of the bytes the finding is about
    std::string text;
};

// Every finding, in entry order. installDir may be empty: the install folder is then unknown,
// and only the uninstaller's own file names are looked for.
std::vector<LintFinding> LintLog(const LogReading& reading, const std::string& installDir);

#endif
