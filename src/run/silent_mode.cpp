// The command line of the silent uninstall, and the window station that makes a run silent without it.
#include "run/silent_mode.h"

#include "foundation/text.h"

static const char kSilentSwitch[] = "/S";
static const char kReportSwitch[] = "/LOG";
static const char kReportFileSwitch[] = "/LOG=";
static const char kRestartCodeSwitch[] = "/RESTARTEXITCODE=";

// The most digits a DWORD takes in decimal.
enum { kExitCodeDigits = 10 };

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Appends c to the argument being read; a byte past its room makes the argument too long.
static void Append(char* argument, size_t size, size_t* length, int* tooLong, char c)
{
    if (*length + 1 < size)
        argument[(*length)++] = c;
    else
        *tooLong = 1;
}

// The next argument from *text into argument, its quotation marks taken off, as Windows splits a
// command line; *quoted when it held any. 0 at the end of the line.
static int NextArgument(const char** text, char* argument, size_t size, int* quoted, int* tooLong)
{
    const char* at = *text;
    while (IsBlank(*at))
        at++;
    if (*at == '\0')
        return 0;
    size_t length = 0;
    int inQuotes = 0;
    *quoted = 0;
    *tooLong = 0;
    for (; *at != '\0' && (inQuotes || !IsBlank(*at)); at++) {
        if (*at == '"') {
            inQuotes = !inQuotes;
            *quoted = 1;
        } else {
            Append(argument, size, &length, tooLong, *at);
        }
    }
    argument[length] = '\0';
    *text = at;
    return 1;
}

// An unquoted /LOG=C:\a b\r.txt: the words after it belong to its path up to the next argument,
// which opens with a slash or a quotation mark; neither is found in a Windows file name.
static void TakeUnquotedSpaces(const char** text, char* argument, size_t size, int* tooLong)
{
    size_t length = strlen(argument);
    const char* at = *text;
    for (;;) {
        const char* word = at;
        while (IsBlank(*word))
            word++;
        if (*word == '\0' || *word == '/' || *word == '"')
            break;
        for (; *at != '\0' && (at < word || !IsBlank(*at)); at++)
            Append(argument, size, &length, tooLong, *at);
    }
    argument[length] = '\0';
    *text = at;
}

static int HasSwitch(const char* argument, const char* name)
{
    return CommonPrefixIgnoringAsciiCase(argument, name) == strlen(name);
}

// N of /RESTARTEXITCODE=N: decimal digits that fit a DWORD. 259 is refused: it is STILL_ACTIVE,
// which a tool waiting with GetExitCodeProcess would take for a run still going.
static int ReadExitCode(const char* digits, DWORD* code)
{
    size_t count = strlen(digits);
    if (count == 0 || count > kExitCodeDigits || strspn(digits, "0123456789") != count)
        return 0;
    unsigned long long value = 0;
    for (size_t i = 0; i < count; i++)
        value = value * 10 + (unsigned)(digits[i] - '0');
    if (value > 0xFFFFFFFFull || value == STILL_ACTIVE)
        return 0;
    *code = (DWORD)value;
    return 1;
}

// Takes one argument; 0 when it is not known or not well formed. A switch given twice is refused:
// which of the two was meant cannot be told.
static int TakeArgument(const char* argument, int tooLong, RunArguments* arguments, int* restartCodeGiven)
{
    if (tooLong)
        return 0;
    if (EqualIgnoringAsciiCase(argument, kSilentSwitch)) {
        arguments->silent = 1;
        return 1;
    }
    if (EqualIgnoringAsciiCase(argument, kReportSwitch) || HasSwitch(argument, kReportFileSwitch)) {
        const char* path = argument + strlen(kReportSwitch);
        if (arguments->report || (*path == '=' && path[1] == '\0'))
            return 0;
        arguments->report = 1;
        if (*path == '=')
            snprintf(arguments->reportPath, sizeof arguments->reportPath, "%s", path + 1);
        return 1;
    }
    if (HasSwitch(argument, kRestartCodeSwitch)) {
        if (*restartCodeGiven || !ReadExitCode(argument + strlen(kRestartCodeSwitch), &arguments->restartExitCode))
            return 0;
        *restartCodeGiven = 1;
        return 1;
    }
    return 0;
}

int ReadRunArguments(const char* commandLine, RunArguments* arguments)
{
    memset(arguments, 0, sizeof *arguments);
    int restartCodeGiven = 0;
    int sound = 1;
    const char* text = commandLine != NULL ? commandLine : "";
    char argument[kArgumentBytes];
    int quoted = 0, tooLong = 0;
    while (NextArgument(&text, argument, sizeof argument, &quoted, &tooLong)) {
        if (!quoted && HasSwitch(argument, kReportFileSwitch))
            TakeUnquotedSpaces(&text, argument, sizeof argument, &tooLong);
        // The report's path must fit where the report is opened from.
        if (HasSwitch(argument, kReportFileSwitch) && strlen(argument) - strlen(kReportFileSwitch) > MAX_PATH - 1)
            tooLong = 1;
        if (!TakeArgument(argument, tooLong, arguments, &restartCodeGiven) && sound) {
            sound = 0;
            snprintf(arguments->refused, sizeof arguments->refused, "%s", argument);
        }
    }
    return sound;
}

typedef HANDLE(WINAPI* GetProcessWindowStationFunction)(void);
typedef BOOL(WINAPI* GetUserObjectInformationFunction)(HANDLE, int, LPVOID, DWORD, LPDWORD);

int WindowStationIsVisible(void)
{
    // Looked up, not imported: the consumer line's user32 has no window stations, and a program
    // that imports what it lacks would not start there. user32 is imported, so it is mapped.
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user == NULL)
        return 1;
    GetProcessWindowStationFunction getProcessWindowStation =
        (GetProcessWindowStationFunction)(void*)GetProcAddress(user, "GetProcessWindowStation");
    GetUserObjectInformationFunction getUserObjectInformation =
        (GetUserObjectInformationFunction)(void*)GetProcAddress(user, "GetUserObjectInformationA");
    if (getProcessWindowStation == NULL || getUserObjectInformation == NULL)
        return 1;
    HANDLE station = getProcessWindowStation();
    USEROBJECTFLAGS flags;
    DWORD needed = 0;
    // A station that cannot be asked is taken for a visible one: the run then asks as it always did.
    if (station == NULL || !getUserObjectInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return 1;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}
