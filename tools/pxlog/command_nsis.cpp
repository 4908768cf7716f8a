// pxlog nsis: turns a staging tree into the lines of an NSIS script that install it through
// installer/pxunins.nsh, one folder and one file at a time, so that each is logged as it is made.
#include "commands.h"

#include <string.h>

#include <filesystem>
#include <system_error>

#include "entry_sources.h"
#include "path_text.h"
#include "uninstall_log/removal_list.h"

namespace fs = std::filesystem;

static const char kNsisHelp[] =
    "usage: pxlog nsis --from-dir DIR [--out FILE]\n"
    "\n"
    "Writes an NSIS include (to FILE, or standard output) that installs the local folder DIR\n"
    "into $INSTDIR with the macros of installer/pxunins.nsh, every folder before its contents,\n"
    "names sorted, as \"pxlog make --from-dir\" lists them:\n"
    "\n"
    "  !define PX_DEEPEST \"...\"   the longest path below $INSTDIR, for PxVerifyInstDir\n"
    "  !macro PxPayload           PxDir and PxFile lines; insert it after PxLogOpen\n"
    "\n"
    "Include it before pxunins.nsh. File sources are DIR's paths as given (makensis reads a\n"
    "relative one against the script's folder). Names must be printable ASCII: makensis stores\n"
    "a script's other bytes in the build machine's code page, not the installing machine's.\n"
    "DIR must not hold pxunins.exe or _pxunins.dat; the uninstaller and its log are never\n"
    "listed (PxPlaceUninstaller places the one, PxLogOpen writes the other).\n";

static const char kInstallDir[] = "$INSTDIR";

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

// Empty when the name can go into the script; otherwise why not.
static std::string RefuseName(const std::string& relative, const std::string& local)
{
    for (unsigned char c : relative)
        if (c < 0x20 || c > 0x7E)
            return "\"" + ShowPathBytes(local) + "\" holds a byte outside printable ASCII";
    std::string name = LastComponent(relative);
    if (FoldCase(name) == FoldCase(kUninstallerFileName) || FoldCase(name) == FoldCase(kLogFileName))
        return "\"" + local + "\": the uninstaller and its log are not part of the payload";
    std::error_code code;
    if (!fs::exists(fs::path(local), code))
        return "\"" + local + "\" cannot be found again; does a name hold a backslash?";
    return "";
}

// The script lines for the entries, which name paths inside $INSTDIR.
static int WritePayload(const std::string& localDir, const std::vector<PlannedEntry>& entries,
                        FILE* out, std::string* error)
{
    std::string deepest = kLogFileName;
    std::string lines;
    int folders = 0, files = 0;
    for (const PlannedEntry& entry : entries) {
        // The entry's path is "$INSTDIR\" and the names joined by backslashes.
        std::string relative = entry.path.substr(strlen(kInstallDir) + 1);
        std::string local = localDir.back() == '/' ? localDir : localDir + "/";
        for (char c : relative)
            local += c == '\\' ? '/' : c;
        std::string why = RefuseName(relative, local);
        if (!why.empty()) {
            *error = why;
            return 0;
        }
        if (relative.size() > deepest.size())
            deepest = relative;
        std::string target = "\"" + std::string(kInstallDir) + "\\" + EscapeForNsis(relative) + "\"";
        if (entry.kind == EntryKindDirectory) {
            lines += "  !insertmacro PxDir " + target + "\n";
            folders++;
        } else {
            lines += "  !insertmacro PxFile \"" + EscapeForNsis(local) + "\" " + target + "\n";
            files++;
        }
    }
    fprintf(out,
            "; The payload of %s, %d folder%s and %d file%s; written by \"pxlog nsis\" for "
            "pxunins.nsh.\n"
            "!define PX_DEEPEST \"%s\"\n"
            "!macro PxPayload\n  !insertmacro _PxPayloadBegin\n%s  !insertmacro _PxPayloadEnd\n"
            "!macroend\n",
            localDir.c_str(), folders, folders == 1 ? "" : "s", files, files == 1 ? "" : "s",
            EscapeForNsis(deepest).c_str(), lines.c_str());
    return 1;
}

int RunNsis(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {"--from-dir", "--out"}, {}, &arguments, &error))
        return UsageError(streams, "nsis", error);
    if (arguments.help) {
        fputs(kNsisHelp, streams.out);
        return kExitClean;
    }
    std::string localDir = OptionValue(arguments, "--from-dir");
    if (localDir.empty() || !arguments.positional.empty())
        return UsageError(streams, "nsis", "give --from-dir DIR and nothing else");

    std::vector<PlannedEntry> entries;
    if (!CollectTreeEntries(localDir, kInstallDir, 0, &entries, &error)) {
        fprintf(streams.err, "pxlog nsis: %s\n", error.c_str());
        return kExitRefused;
    }
    std::string outPath = OptionValue(arguments, "--out");
    FILE* out = outPath.empty() ? streams.out : fopen(outPath.c_str(), "wb");
    if (out == NULL) {
        fprintf(streams.err, "pxlog nsis: cannot write %s\n", outPath.c_str());
        return kExitRefused;
    }
    int written = WritePayload(localDir, entries, out, &error);
    // A full disk shows at the close; the script would then be cut short.
    if (out != streams.out && fclose(out) != 0 && written) {
        error = "cannot write " + outPath;
        written = 0;
    }
    if (!written) {
        fprintf(streams.err, "pxlog nsis: %s\n", error.c_str());
        if (!outPath.empty())
            remove(outPath.c_str());
        return kExitRefused;
    }
    return kExitClean;
}
