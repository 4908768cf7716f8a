// The report's file, its lines and its counts.
#include "foundation/run_report.h"

#include "foundation/platform_line.h"

static HANDLE ReportFile = INVALID_HANDLE_VALUE;
static int ReportInUtf8 = 0;
static unsigned long ReportedRemoved = 0, ReportedLeft = 0, ReportedWaiting = 0;

// A line holds a kind, two paths and a reason: well within these.
enum { kLineBytes = 1024 };
// A name made anew while one of the run's own is taken: another run in the same second.
enum { kReportNameTries = 8 };

// A file of the run's own under the temporary folder, which other users may write to: a name
// they planted (a link to a file elsewhere) is never opened, only one this call makes.
static HANDLE CreateReportInTemporaryFolder(void)
{
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH - 1)
        return INVALID_HANDLE_VALUE;
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int attempt = 1; attempt <= kReportNameTries; attempt++) {
        char path[MAX_PATH];
        int written = snprintf(path, sizeof path, "%spxunins-%04u%02u%02u-%02u%02u%02u-%lu-%d.log", folder,
                               now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                               (unsigned long)GetCurrentProcessId(), attempt);
        if (written < 0 || written >= (int)sizeof path)
            return INVALID_HANDLE_VALUE;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

int OpenRunReport(const char* path)
{
    if (ReportFile != INVALID_HANDLE_VALUE)
        return 1;
    // Readable while the run goes on: a script may follow it.
    ReportFile = path != NULL ? CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, NULL)
                              : CreateReportInTemporaryFolder();
    if (ReportFile == INVALID_HANDLE_VALUE)
        return 0;
    ReportedRemoved = ReportedLeft = ReportedWaiting = 0;
    // The NT line converts from the ANSI code page through UTF-16; an editor knows UTF-8 by its mark.
    ReportInUtf8 = IsNtPlatform();
    if (ReportInUtf8) {
        DWORD written = 0;
        WriteFile(ReportFile, "\xEF\xBB\xBF", 3, &written, NULL);
    }
    return 1;
}

int RunReportIsOpen(void)
{
    return ReportFile != INVALID_HANDLE_VALUE;
}

int RunReportInUtf8(void)
{
    return ReportInUtf8;
}

// The line with its CR LF, in the report's encoding. A text the code page cannot convert goes as
// its bytes: a line an editor may show wrongly rather than none.
static void WriteReportLine(const char* text)
{
    char line[kLineBytes + 2];
    int length = snprintf(line, sizeof line, "%s\r\n", text);
    if (length < 0)
        return;
    if (length >= (int)sizeof line)
        length = (int)sizeof line - 1;
    const char* bytes = line;
    char utf8[3 * sizeof line];
    if (ReportInUtf8) {
        WCHAR wide[sizeof line];
        int units = MultiByteToWideChar(CP_ACP, 0, line, length, wide, (int)(sizeof wide / sizeof wide[0]));
        int converted = units > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, (int)sizeof utf8, NULL, NULL)
                                  : 0;
        if (converted > 0) {
            bytes = utf8;
            length = converted;
        }
    }
    // A write that fails (a full disk, a share that went away) loses this line alone.
    DWORD written = 0;
    WriteFile(ReportFile, bytes, (DWORD)length, &written, NULL);
}

void ReportLine(const char* format, ...)
{
    if (ReportFile == INVALID_HANDLE_VALUE)
        return;
    char text[kLineBytes];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    WriteReportLine(text);
}

// By ReportOutcome.
static const char* const kOutcomeWords[] = {"removed", "left", "waiting for the restart", "not found", "kept"};

void ReportItem(ReportOutcome outcome, const char* kind, const char* name, const char* reason)
{
    if (ReportFile == INVALID_HANDLE_VALUE)
        return;
    if (outcome == ReportRemoved)
        ReportedRemoved++;
    else if (outcome == ReportLeft)
        ReportedLeft++;
    else if (outcome == ReportWaiting)
        ReportedWaiting++;
    const char* words = kOutcomeWords[outcome];
    if (reason != NULL)
        ReportLine("%s: %s %s: %s", words, kind, name, reason);
    else
        ReportLine("%s: %s %s", words, kind, name);
}

const char* ErrorMeaning(DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return "in use";
    if (error == ERROR_ACCESS_DENIED)
        return "access denied";
    if (error == ERROR_DIR_NOT_EMPTY)
        return "not empty";
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return "not found";
    return NULL;
}

void ReportRefusal(const char* kind, const char* name, DWORD error)
{
    char reason[64];
    const char* meaning = ErrorMeaning(error);
    snprintf(reason, sizeof reason, "%s (error %lu)", meaning != NULL ? meaning : "refused",
             (unsigned long)error);
    ReportItem(ReportLeft, kind, name, reason);
}

void ReportRemoval(const char* kind, const char* name, DWORD error)
{
    if (error == ERROR_SUCCESS)
        ReportItem(ReportRemoved, kind, name, NULL);
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        ReportItem(ReportNotFound, kind, name, NULL);
    else
        ReportRefusal(kind, name, error);
}

void ReportMessage(const char* text)
{
    // The box's line breaks would split one message over lines a script reads one by one.
    char flat[kLineBytes];
    snprintf(flat, sizeof flat, "%s", text);
    for (char* c = flat; *c != '\0'; c++) {
        if (*c == '\n')
            *c = ' ';
    }
    ReportLine("message: %s", flat);
}

void NameRegistryKey(char* name, size_t size, HKEY root, const char* subkey)
{
    const char* rootName = root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE"
                           : root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER"
                           : root == HKEY_USERS         ? "HKEY_USERS"
                                                        : "HKEY_CLASSES_ROOT";
    snprintf(name, size, "%s\\%s", rootName, subkey);
}

void CloseRunReport(DWORD exitCode)
{
    if (ReportFile == INVALID_HANDLE_VALUE)
        return;
    ReportLine("counts: removed %lu, left %lu, waiting for the restart %lu", ReportedRemoved, ReportedLeft,
               ReportedWaiting);
    ReportLine("exit code: %lu", (unsigned long)exitCode);
    CloseHandle(ReportFile);
    ReportFile = INVALID_HANDLE_VALUE;
}
