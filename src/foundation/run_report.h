// The report of a run, for the administrator and the script that started it: a line for each thing
// the run did or left, with what Windows answered, between the run's header and a footer of counts.
//
// Every step writes its own lines next to the call whose result they tell. While no report is
// open every call here does nothing, and a line that cannot be written is one line fewer: the
// report never stops the run nor changes what it does.
#ifndef FOUNDATION_RUN_REPORT_H
#define FOUNDATION_RUN_REPORT_H

#include <stdarg.h>

#include "platform/platform.h"

#define RUN_REPORT_FORMAT(formatIndex, firstIndex) __attribute__((format(printf, formatIndex, firstIndex)))

// What became of one item. The footer counts the first three.
enum ReportOutcome {
    ReportRemoved,   // "removed": this run took it away
    ReportLeft,      // "left": the run was to remove it, and it is still there
    ReportWaiting,   // "waiting for the restart": named for deletion when Windows next starts
    ReportNotFound,  // "not found": it was not there when the run came to it
    ReportKept,      // "kept": it stays on purpose (another program's, or still in use by one)
};

// Opens the report at path, made anew, or with path NULL a file of its own named for the run in
// GetTempPathA's folder. On the NT line the report is UTF-8 with its byte-order mark; on the
// consumer line, which converts nothing, the bytes of its ANSI code page. 1 when it is open.
int OpenRunReport(const char* path);

// 1 while a report is open.
int RunReportIsOpen(void);
// 1 when the report converts its lines to UTF-8.
int RunReportInUtf8(void);

// One line, formatted as printf formats, its text in the ANSI code page as the calls give it.
void ReportLine(const char* format, ...) RUN_REPORT_FORMAT(1, 2);

// One item: its kind ("file", "registry key"), its name, and why it is left or kept (NULL for
// no reason).
void ReportItem(ReportOutcome outcome, const char* kind, const char* name, const char* reason);

// The item after the call that was to remove it, by that call's error: 0 removed; not found for
// ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND; left for any other, with the error's number and
// what it means.
void ReportRemoval(const char* kind, const char* name, DWORD error);

// The item left after a call that Windows refused with error, with its number and meaning.
void ReportRefusal(const char* kind, const char* name, DWORD error);

// A message box's text, which a run that shows no window writes here instead.
void ReportMessage(const char* text);

// What a removal's error means ("in use", "access denied", "not empty", "not found"); NULL for an
// error that has no word here.
const char* ErrorMeaning(DWORD error);

// The registry key root\subkey by the root's full name ("HKEY_LOCAL_MACHINE\\..."), into name.
void NameRegistryKey(char* name, size_t size, HKEY root, const char* subkey);

// The counts of removed, left and waiting items, then the exit code; the report is closed.
void CloseRunReport(DWORD exitCode);

#endif
