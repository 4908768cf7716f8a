// pxlog plan: a dry run of the removal pass against a local folder tree; nothing is deleted.
#include <filesystem>

#include "commands.h"
#include "path_text.h"
#include "plan.h"

static const char kPlanHelp[] =
    "usage: pxlog plan LOG --root WINPATH=DIR [--root WINPATH=DIR ...]\n"
    "\n"
    "Walks the removal order of LOG (newest first) against a folder tree, without deleting\n"
    "anything, and says for every entry whether the uninstaller removes it or it stays, and\n"
    "why: missing, a folder not empty at its turn (files the log does not name, or entries\n"
    "inside it that the log lists before it), a file listed as a folder, not a full path\n"
    "(the uninstaller leaves such an entry alone), not under any --root.\n"
    "\n"
    "  --root WINPATH=DIR   the local folder DIR stands for the Windows folder WINPATH, e.g.\n"
    "                       --root \"C:\\Program Files\\App=stage/app\"; names match without\n"
    "                       regard to case, as on Windows. On Windows, without --root, the\n"
    "                       paths are looked up on this machine's disk.\n"
    "\n"
    "Exit code: 0 everything removed, 1 something stays, 2 refused log or usage error.\n";

static const char* VerdictWord(PlanVerdict verdict)
{
    return verdict == PlanRemoved ? "removed" : "stays";
}

static void PrintStep(const LogReading& reading, const PlanStep& step, FILE* out)
{
    const LoggedEntry& entry = reading.entries[step.entry];
    fprintf(out, "  %-7s #%-4d %-6s  %s%s%s\n", VerdictWord(step.verdict), (int)step.entry + 1,
            KindName(entry.kind), ShowPathBytes(entry.path).c_str(), step.why.empty() ? "" : " -- ",
            step.why.c_str());
}

static int PrintSummary(const std::vector<PlanStep>& steps, FILE* out)
{
    int counts[PlanNotMapped + 1] = {0};
    for (const PlanStep& step : steps)
        counts[step.verdict]++;
    int stay = (int)steps.size() - counts[PlanRemoved];
    fprintf(out, "%d removed, %d stay", counts[PlanRemoved], stay);
    if (stay > 0)
        fprintf(out, " (%d missing, %d not empty, %d of the wrong kind, %d not a full path, "
                "%d not mapped)", counts[PlanMissing], counts[PlanNotEmpty], counts[PlanWrongKind],
                counts[PlanNotFullPath], counts[PlanNotMapped]);
    fprintf(out, "\n");
    return stay > 0 ? kExitFindings : kExitClean;
}

// Fills the tree from the --root options, or from the real disk where paths are Windows's own.
static int LoadPlanTree(const Arguments& arguments, const LogReading& reading,
                        const Streams& streams, PlanTree* tree)
{
    std::string error;
    for (const auto& option : arguments.options) {
        PlanRoot root;
        if (!ParseRootOption(option.second, &root, &error))
            return UsageError(streams, "plan", error);
        tree->roots.push_back(root);
    }
    if (tree->roots.empty())
        LoadRealDiskTree(reading, tree);
    else if (!LoadRootTrees(tree, &error))
        return UsageError(streams, "plan", error);
    for (const std::string& warning : tree->warnings)
        fprintf(streams.err, "pxlog plan: warning: %s\n", warning.c_str());
    return kExitClean;
}

int RunPlan(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {"--root"}, {}, &arguments, &error))
        return UsageError(streams, "plan", error);
    if (arguments.help) {
        fputs(kPlanHelp, streams.out);
        return kExitClean;
    }
    if (arguments.positional.size() != 1)
        return UsageError(streams, "plan", "give exactly one LOG file");
    // Only where Windows paths are this machine's own paths can the real disk stand in.
    if (arguments.options.empty() && std::filesystem::path::preferred_separator != '\\')
        return UsageError(streams, "plan", "give at least one --root WINPATH=DIR");

    LogReading reading;
    const std::string& logPath = arguments.positional[0];
    int status = InspectLog(streams, "plan", logPath, &reading);
    if (status != kExitClean)
        return status;
    if (reading.refused) {
        fprintf(streams.out, "%s: refused: %s\nthe uninstaller removes none of its entries\n",
                logPath.c_str(), DescribeRefusal(reading.refusal).c_str());
        return kExitRefused;
    }

    PlanTree tree;
    status = LoadPlanTree(arguments, reading, streams, &tree);
    if (status != kExitClean)
        return status;
    fprintf(streams.out, "%s: removal order, newest first (a dry run: nothing is deleted)\n",
            logPath.c_str());
    std::vector<PlanStep> steps = PlanRemovalPass(reading, &tree);
    for (const PlanStep& step : steps)
        PrintStep(reading, step, streams.out);
    return PrintSummary(steps, streams.out);
}
