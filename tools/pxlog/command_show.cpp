// pxlog show: the log as the uninstaller reads it, field by field, and its removal order.
#include "commands.h"

#include "path_text.h"

static const char kShowHelp[] =
    "usage: pxlog show LOG\n"
    "\n"
    "Prints the header (magic, second word, entry count, file size), every entry in file\n"
    "order with its number, offset, kind and path, and the order the uninstaller removes\n"
    "them in: newest first. For a log the uninstaller refuses, prints what it can read and\n"
    "where and why the uninstaller stops. Bytes that are not printable show as <XX>.\n"
    "Exit code: 0 accepted, 2 refused.\n";

static void ShowHeader(const LogReading& reading, FILE* out)
{
    fprintf(out, "header\n");
    if (reading.headerWords >= 1)
        fprintf(out, "  offset 0   magic        0x%08X\n", reading.magic);
    if (reading.headerWords >= 2)
        fprintf(out, "  offset 4   second word  %u\n", reading.secondWord);
    if (reading.headerWords >= 3)
        fprintf(out, "  offset 8   entry count  %d%s\n", reading.count,
                reading.count <= 0 ? " (0 or less: the log lists nothing)" : "");
}

static std::string ShowEntryPath(const LoggedEntry& entry)
{
    std::string shown = ShowPathBytes(entry.bytes);
    if (entry.path.size() != entry.bytes.size())
        shown += "   (the uninstaller stops at the NUL: \"" + ShowPathBytes(entry.path) + "\")";
    return shown;
}

static void ShowEntries(const LogReading& reading, FILE* out)
{
    if (reading.entries.empty())
        return;
    fprintf(out, "entries, in file order%s\n", reading.refused ? " (read before the refusal)" : "");
    for (size_t i = 0; i < reading.entries.size(); i++) {
        const LoggedEntry& entry = reading.entries[i];
        fprintf(out, "  #%-4d offset %-6ld %-6s  %s\n", (int)i + 1, entry.offset,
                KindName(entry.kind), ShowEntryPath(entry).c_str());
    }
}

static void ShowRemovalOrder(const LogReading& reading, FILE* out)
{
    fprintf(out, "removal order, newest first\n");
    if (reading.entries.empty())
        fprintf(out, "  (nothing)\n");
    int turn = 1;
    for (size_t i = reading.entries.size(); i-- > 0; turn++)
        fprintf(out, "  %4d. #%-4d %-6s  %s\n", turn, (int)i + 1,
                KindName(reading.entries[i].kind), ShowPathBytes(reading.entries[i].path).c_str());
}

static void ShowTrailingBytes(const LogReading& reading, FILE* out)
{
    long extra = reading.fileSize - reading.endOfEntries;
    if (extra > 0)
        fprintf(out, "%ld byte%s after the last counted entry, at offset %ld: never read\n", extra,
                extra == 1 ? "" : "s", reading.endOfEntries);
}

int RunShow(const std::vector<std::string>& words, const Streams& streams)
{
    Arguments arguments;
    std::string error;
    if (!ParseArguments(words, {}, {}, &arguments, &error))
        return UsageError(streams, "show", error);
    if (arguments.help) {
        fputs(kShowHelp, streams.out);
        return kExitClean;
    }
    if (arguments.positional.size() != 1)
        return UsageError(streams, "show", "give exactly one LOG file");

    LogReading reading;
    const std::string& logPath = arguments.positional[0];
    int status = InspectLog(streams, "show", logPath, &reading);
    if (status == kExitRefused)
        return status;
    fprintf(streams.out, "%s: %ld bytes\n", logPath.c_str(), reading.fileSize);
    ShowHeader(reading, streams.out);
    ShowEntries(reading, streams.out);
    if (reading.refused) {
        fprintf(streams.out, "refused: %s\n", DescribeRefusal(reading.refusal).c_str());
        return status != kExitClean ? status : kExitRefused;
    }
    ShowRemovalOrder(reading, streams.out);
    ShowTrailingBytes(reading, streams.out);
    return status;
}
