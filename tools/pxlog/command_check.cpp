// pxlog check: would the uninstaller accept the log, and what in it will not go as meant.
#include "commands.h"

#include "foundation/paths.h"
#include "lint.h"

static const char kCheckHelp[] =
    "usage: pxlog check LOG [--install-dir WINPATH]\n"
    "\n"
    "Says whether the uninstaller accepts LOG. A refused log is refused as a whole (the\n"
    "uninstaller then removes none of its entries); check names the byte offset, the field\n"
    "and the value where the uninstaller stops reading.\n"
    "\n"
    "For an accepted log, lists what will not go as meant, by entry number:\n"
    "  a folder listed after entries inside it (it is not empty at its turn and stays),\n"
    "  the same path twice, a path outside the install folder once \".\" and \"..\" are\n"
    "  resolved, a path that is not full (neither \"X:\\...\" nor \"\\\\server\\...\", with \"/\"\n"
    "  as good as \"\\\"), which the uninstaller leaves alone, the uninstaller (pxunins.exe)\n"
    "  itself, which stays, the log (_pxunins.dat) itself, which goes and leaves the next run\n"
    "  without a log, a NUL inside a path, bytes after the last counted entry.\n"
    "\n"
    "  --install-dir WINPATH   the folder the application is installed in, e.g.\n"
    "                          \"C:\\Program Files\\App\"; enables the outside-the-folder check\n"
    "\n"
    "Exit code: 0 clean, 1 findings, 2 refused, 3 pxlog and the uninstaller disagree.\n";

static int ReportRefusal(const std::string& logPath, const LogReading& reading, FILE* out)
{
    fprintf(out, "%s: refused: %s\n", logPath.c_str(), DescribeRefusal(reading.refusal).c_str());
    fprintf(out, "%s: the uninstaller refuses the whole log and removes none of its entries\n",
            logPath.c_str());
    return kExitRefused;
}

static int ReportFindings(const std::string& logPath, const LogReading& reading,
                          const std::vector<LintFinding>& findings, FILE* out)
{
    for (const LintFinding& finding : findings) {
        if (finding.entry > 0)
            fprintf(out, "%s: entry %d (offset %ld): %s\n", logPath.c_str(), finding.entry,
                    finding.offset, finding.text.c_str());
        else
            fprintf(out, "%s: %s\n", logPath.c_str(), finding.text.c_str());
    }
    fprintf(out, "%s: accepted, %d entr%s, %d finding%s\n", logPath.c_str(),
            (int)reading.entries.size(), reading.entries.size() == 1 ? "y" : "ies",
            (int)findings.size(), findings.size() == 1 ? "" : "s");
    return findings.empty() ? kExitClean : kExitFindings;
}

int RunCheck(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {"--install-dir"}, {}, &arguments, &error))
        return UsageError(streams, "check", error);
    if (arguments.help) {
        fputs(kCheckHelp, streams.out);
        return kExitClean;
    }
    if (arguments.positional.size() != 1)
        return UsageError(streams, "check", "give exactly one LOG file");
    std::string installDir = OptionValue(arguments, "--install-dir");
    if (HasOption(arguments, "--install-dir") && !IsFullPath(installDir.c_str()))
        return UsageError(streams, "check", "--install-dir wants a Windows path such as "
                                            "\"C:\\Program Files\\App\"; got \"" + installDir + "\"");

    LogReading reading;
    const std::string& logPath = arguments.positional[0];
    int status = InspectLog(streams, "check", logPath, &reading);
    if (status != kExitClean)
        return status;
    if (reading.refused)
        return ReportRefusal(logPath, reading, streams.out);
    return ReportFindings(logPath, reading, LintLog(reading, installDir), streams.out);
}
