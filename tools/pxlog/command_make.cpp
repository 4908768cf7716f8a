// pxlog make: writes a log from a typed list or from a local folder tree.
#include "commands.h"

#include "entry_sources.h"
#include "log_writer.h"

static const char kMakeHelp[] =
    "usage: pxlog make OUT                    < LIST\n"
    "       pxlog make OUT --from-dir DIR --as WINPATH [--no-root]\n"
    "\n"
    "Writes the uninstall log OUT.\n"
    "\n"
    "From LIST on standard input: one entry a line, \"file PATH\" or \"dir PATH\", in the order\n"
    "the installer made them; blank lines and lines starting with # are skipped. The\n"
    "uninstaller removes the entries newest first, so list each folder before its contents.\n"
    "\n"
    "  --from-dir DIR   list the local folder DIR instead, every folder before its contents,\n"
    "                   names sorted, so the same tree always gives the same log\n"
    "  --as WINPATH     the Windows path DIR is installed as, e.g. \"C:\\Program Files\\App\"\n"
    "  --no-root        leave WINPATH itself out of the log (list only what is inside it)\n"
    "\n"
    "A path must have 1 to 259 bytes; the uninstaller refuses a log with any other.\n";

static int CollectEntries(const Arguments& arguments, const Streams& streams,
                          std::vector<PlannedEntry>* entries, std::string* error)
{
    if (!HasOption(arguments, "--from-dir"))
        return ReadEntryList(streams.in, entries, error);
    return CollectTreeEntries(OptionValue(arguments, "--from-dir"),
                              OptionValue(arguments, "--as"), !HasOption(arguments, "--no-root"),
                              entries, error);
}

static int CheckMakeArguments(const Arguments& arguments, const Streams& streams)
{
    if (arguments.positional.size() != 1)
        return UsageError(streams, "make", "give exactly one OUT file");
    int fromDir = HasOption(arguments, "--from-dir");
    if (fromDir && OptionValue(arguments, "--as").empty())
        return UsageError(streams, "make", "--from-dir needs --as WINPATH, the Windows path "
                                           "the folder is installed as");
    if (!fromDir && (HasOption(arguments, "--as") || HasOption(arguments, "--no-root")))
        return UsageError(streams, "make", "--as and --no-root go with --from-dir");
    return kExitClean;
}

int RunMake(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {"--from-dir", "--as"}, {"--no-root"}, &arguments, &error))
        return UsageError(streams, "make", error);
    if (arguments.help) {
        fputs(kMakeHelp, streams.out);
        return kExitClean;
    }
    int status = CheckMakeArguments(arguments, streams);
    if (status != kExitClean)
        return status;

    std::vector<PlannedEntry> entries;
    const std::string& outPath = arguments.positional[0];
    if (!CollectEntries(arguments, streams, &entries, &error) ||
        !WriteUninstallLog(outPath.c_str(), entries, &error)) {
        fprintf(streams.err, "pxlog make: %s\n", error.c_str());
        return kExitRefused;
    }
    fprintf(streams.out, "%s: %d entr%s, %d bytes\n", outPath.c_str(), (int)entries.size(),
            entries.size() == 1 ? "y" : "ies", (int)FormatUninstallLog(entries).size());
    return kExitClean;
}
