// pxlog nsis: turns a staging tree into the lines of an NSIS script that install it through
// installer/pxunins.nsh, one folder and one file at a time, so that each is logged as it is made.
#include "commands.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <system_error>

#include "code_page.h"
#include "entry_sources.h"
#include "path_text.h"
#include "uninstall_log/removal_list.h"

namespace fs = std::filesystem;

static const char kNsisHelp[] =
    "usage: pxlog nsis --from-dir DIR [--out FILE] [--charset UTF-8|CPnnnn]\n"
    "\n"
    "Writes an NSIS include (to FILE, or standard output) that installs the local folder DIR\n"
    "into $INSTDIR with the macros of installer/pxunins.nsh, every folder before its contents,\n"
    "names sorted, as \"pxlog make --from-dir\" lists them:\n"
    "\n"
    "  !define PX_DEEPEST \"...\"   the longest path below $INSTDIR, for PxVerifyInstDir\n"
    "  !define PX_PAYLOAD_KIB N   the files' bytes in KiB, rounded up, for PxUninstallEntry\n"
    "  !macro PxPayload           PxDir and PxFile lines; insert it after PxLogOpen\n"
    "  !macro _PxPayloadNames     the names PxLogOpen of a Unicode installer checks first\n"
    "\n"
    "Include it before pxunins.nsh. File sources are DIR's paths as given (makensis reads a\n"
    "relative one against the script's folder, and needs a UTF-8 locale for names beyond ASCII).\n"
    "DIR's names are read as UTF-8, and any name Windows allows is taken; refused are\n"
    "\\ / : * ? \" < > |, control characters, a trailing dot or space, device names (CON, NUL,\n"
    "COM1 ...), two names of one folder equal but for case, pxunins.exe and _pxunins.dat (the\n"
    "uninstaller and its log are never listed: PxPlaceUninstaller places the one, PxLogOpen\n"
    "writes the other).\n"
    "\n"
    "--charset UTF-8 (the default) writes UTF-8 with its byte-order mark, which makensis reads\n"
    "right for a Unicode script and for an ANSI one. --charset CP1252 (or another Windows code\n"
    "page) writes that code page's bytes, for \"!include /CHARSET=CP1252\" in an ANSI script,\n"
    "and refuses a name the code page cannot hold. An ANSI installer is right only on machines\n"
    "of the code page it was built for.\n";

static const char kInstallDir[] = "$INSTDIR";
static const char kUtf8Mark[] = "\xEF\xBB\xBF";

// Text inside an NSIS string: "$" starts a variable and a double quote ends the string.
static std::string EscapeForNsis(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '$')
            escaped += "$$";
        else if (c == '"')
            escaped += "$\\\"";
        else
            escaped += c;
    }
    return escaped;
}

// The code points of UTF-8 text; 0 for bytes that are not UTF-8 (overlong forms and surrogates
// included), which would name another file, or none, once Windows reads them.
static int DecodeUtf8(const std::string& text, std::vector<uint32_t>* points)
{
    for (size_t at = 0; at < text.size();) {
        unsigned char lead = (unsigned char)text[at];
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || at + extra >= text.size() + (extra == 0))
            return 0;
        uint32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int i = 1; i <= extra; i++) {
            unsigned char next = (unsigned char)text[at + i];
            if ((next & 0xC0) != 0x80)
                return 0;
            point = (point << 6) | (next & 0x3F);
        }
        static const uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return 0;
        points->push_back(point);
        at += extra + 1;
    }
    return 1;
}

// A name as NTFS compares names: the upper and lower case of the Latin, Greek and Cyrillic letters
// are one. Enough to catch two staged names that one folder of Windows cannot hold apart.
static std::vector<uint32_t> FoldName(std::vector<uint32_t> points)
{
    for (uint32_t& p : points) {
        if ((p >= 'A' && p <= 'Z') || (p >= 0xC0 && p <= 0xDE && p != 0xD7) ||
            (p >= 0x391 && p <= 0x3AB && p != 0x3A2) || (p >= 0x410 && p <= 0x42F))
            p += 0x20;
        else if (p >= 0x400 && p <= 0x40F)
            p += 0x50;
        else if (((p >= 0x100 && p <= 0x12F) || (p >= 0x132 && p <= 0x137) || (p >= 0x14A && p <= 0x177)) &&
                 p % 2 == 0)
            p += 1;  // Latin Extended-A: capital, then small
        else if (((p >= 0x139 && p <= 0x148) || (p >= 0x179 && p <= 0x17E)) && p % 2 == 1)
            p += 1;
    }
    return points;
}

// Empty when Windows takes the name as a file or folder of its own; otherwise why not.
static std::string RefuseWindowsName(const std::string& name)
{
    std::string quoted = "\"" + ShowPathBytes(name) + "\"";
    for (unsigned char c : name) {
        if (c < 0x20)
            return quoted + " holds a control character, which Windows refuses in a name";
        if (strchr("\\/:*?\"<>|", c) != NULL)
            return quoted + " holds " + std::string(1, (char)c) +
                   ", which Windows refuses in a name (\\ / : * ? \" < > |)";
    }
    if (name.back() == '.' || name.back() == ' ')
        return quoted + " ends in a dot or a space, which Windows takes off the name";
    // The device names stand for the device whatever follows the first dot.
    std::string stem = FoldCase(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    int device = 0;
    for (const char* name4 : kDevices)
        device |= stem == name4;
    if (stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
        stem[3] >= '1' && stem[3] <= '9')
        device = 1;
    if (device)
        return quoted + " is a device name of Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    std::string folded = FoldCase(name);
    if (folded == FoldCase(kUninstallerFileName) || folded == FoldCase(kLogFileName))
        return quoted + ": the uninstaller and its log are not part of the payload";
    return "";
}

// The payload's names in the script's character set, with what PxLogOpen must check.
struct PayloadText {
    std::string deepest;                  // the longest relative path in the script's bytes
    std::vector<std::string> checkFirst;  // beyond ASCII, and the longest ASCII one
    std::string lines;
    int folders, files;
    unsigned long long bytes;             // the files' sizes, summed
};

// The text in the script's character set: UTF-8 as it stands, or a code page's bytes.
static int InCharset(const std::string& utf8, unsigned codePage, std::string* text)
{
    if (codePage == 0) {
        *text = utf8;
        return 1;
    }
    return ConvertFromUtf8(utf8, codePage, text);
}

static int IsAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return 0;
    return 1;
}

// The script lines for the entries, which name paths inside $INSTDIR.
static int ComposePayload(const std::string& localDir, const std::vector<PlannedEntry>& entries,
                          unsigned codePage, PayloadText* payload, std::string* error)
{
    payload->deepest = kLogFileName;
    payload->folders = payload->files = 0;
    payload->bytes = 0;
    std::string longestAscii;
    // Folded names per folder: two that Windows would take for one.
    std::map<std::vector<uint32_t>, std::string> seen;
    for (const PlannedEntry& entry : entries) {
        // The entry's path is "$INSTDIR\" and the names joined by backslashes.
        std::string relative = entry.path.substr(strlen(kInstallDir) + 1);
        std::string local = localDir.back() == '/' ? localDir : localDir + "/";
        for (char c : relative)
            local += c == '\\' ? '/' : c;
        std::string name = LastComponent(relative);
        std::vector<uint32_t> points;
        if (!DecodeUtf8(relative, &points)) {
            std::string shown;
            for (unsigned char c : relative) {
                char hex[8];
                snprintf(hex, sizeof hex, "<%02X>", c);
                shown += c >= 0x80 ? std::string(hex) : std::string(1, (char)c);
            }
            *error = "\"" + shown + "\" is not UTF-8; Windows would read another name";
            return 0;
        }
        std::string why = RefuseWindowsName(name);
        std::error_code code;
        if (why.empty() && !fs::exists(fs::path(local), code))
            why = "\"" + relative + "\" cannot be found again: does a name hold \\, which Windows refuses?";
        std::vector<uint32_t> key = FoldName(points);
        auto inserted = seen.insert({key, relative});
        if (why.empty() && !inserted.second)
            why = "\"" + relative + "\" and \"" + inserted.first->second +
                  "\" are one name to Windows, which does not tell case apart";
        std::string text;
        if (why.empty() && !InCharset(relative, codePage, &text))
            why = "\"" + relative + "\" holds a character that code page " +
                  std::to_string(codePage) + " cannot hold";
        if (!why.empty()) {
            *error = why;
            return 0;
        }
        if (text.size() > payload->deepest.size())
            payload->deepest = text;
        if (!IsAscii(text))
            payload->checkFirst.push_back(text);
        else if (text.size() > longestAscii.size())
            longestAscii = text;
        std::string target = "\"" + std::string(kInstallDir) + "\\" + EscapeForNsis(text) + "\"";
        if (entry.kind == EntryKindDirectory) {
            payload->lines += "  !insertmacro PxDir " + target + "\n";
            payload->folders++;
        } else {
            std::string source;
            InCharset(local, codePage, &source);
            if (source.empty() && !local.empty()) {
                *error = "\"" + local + "\" holds a character that code page " +
                         std::to_string(codePage) + " cannot hold";
                return 0;
            }
            payload->lines += "  !insertmacro PxFile \"" + EscapeForNsis(source) + "\" " + target + "\n";
            payload->files++;
            uintmax_t size = fs::file_size(fs::path(local), code);
            if (!code)
                payload->bytes += size;
        }
    }
    if (!longestAscii.empty())
        payload->checkFirst.push_back(longestAscii);
    return 1;
}

static int WritePayload(const std::string& localDir, const PayloadText& payload, unsigned codePage,
                        FILE* out)
{
    std::string shownDir;
    for (unsigned char c : localDir)
        shownDir += c < 0x20 || c >= 0x80 ? '?' : (char)c;
    std::string checkFirst;
    for (const std::string& name : payload.checkFirst)
        checkFirst += "  !insertmacro _PxPayloadName \"" + EscapeForNsis(name) + "\"\n";
    std::string charset = codePage == 0 ? "UTF-8" : "CP" + std::to_string(codePage);
    return fprintf(out,
                   "%s; The payload of %s, %d folder%s and %d file%s, in %s; written by \"pxlog nsis\" "
                   "for pxunins.nsh.\n"
                   "!define PX_DEEPEST \"%s\"\n"
                   "!define PX_PAYLOAD_KIB %lu\n"
                   "!macro _PxPayloadNames\n%s!macroend\n"
                   "!macro PxPayload\n  !insertmacro _PxPayloadBegin\n%s  !insertmacro _PxPayloadEnd\n"
                   "!macroend\n",
                   codePage == 0 ? kUtf8Mark : "", shownDir.c_str(), payload.folders,
                   payload.folders == 1 ? "" : "s", payload.files, payload.files == 1 ? "" : "s",
                   charset.c_str(), EscapeForNsis(payload.deepest).c_str(),
                   (unsigned long)((payload.bytes + 1023) / 1024),
                   checkFirst.c_str(),
                   payload.lines.c_str()) >= 0;
}

// 0 for UTF-8, else the code page of "CPnnnn"; 1 when the name is one of these.
static int ParseCharset(const std::string& name, unsigned* codePage)
{
    if (name.empty() || FoldCase(name) == "utf-8" || FoldCase(name) == "utf8") {
        *codePage = 0;
        return 1;
    }
    if (FoldCase(name).compare(0, 2, "cp") != 0 || name.size() < 3 || name.size() > 7)
        return 0;
    char* end;
    unsigned long number = strtoul(name.c_str() + 2, &end, 10);
    if (*end != '\0' || number == 0 || number > 65535)
        return 0;
    *codePage = (unsigned)number;
    return 1;
}

int RunNsis(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {"--from-dir", "--out", "--charset"}, {}, &arguments, &error))
        return UsageError(streams, "nsis", error);
    if (arguments.help) {
        fputs(kNsisHelp, streams.out);
        return kExitClean;
    }
    std::string localDir = OptionValue(arguments, "--from-dir");
    if (localDir.empty() || !arguments.positional.empty())
        return UsageError(streams, "nsis", "give --from-dir DIR and nothing else");
    unsigned codePage;
    if (!ParseCharset(OptionValue(arguments, "--charset"), &codePage))
        return UsageError(streams, "nsis", "--charset takes UTF-8 or a code page such as CP1252");

    std::vector<PlannedEntry> entries;
    PayloadText payload;
    if (!CollectTreeEntries(localDir, kInstallDir, 0, &entries, &error) ||
        !ComposePayload(localDir, entries, codePage, &payload, &error)) {
        fprintf(streams.err, "pxlog nsis: %s\n", error.c_str());
        return kExitRefused;
    }
    std::string outPath = OptionValue(arguments, "--out");
    FILE* out = outPath.empty() ? streams.out : fopen(outPath.c_str(), "wb");
    if (out == NULL) {
        fprintf(streams.err, "pxlog nsis: cannot write %s\n", outPath.c_str());
        return kExitRefused;
    }
    int written = WritePayload(localDir, payload, codePage, out);
    // A full disk shows at the close; the script would then be cut short.
    if (out != streams.out && fclose(out) != 0)
        written = 0;
    if (!written) {
        fprintf(streams.err, "pxlog nsis: cannot write %s\n", outPath.empty() ? "the script" : outPath.c_str());
        if (!outPath.empty())
            remove(outPath.c_str());
        return kExitRefused;
    }
    return kExitClean;
}
