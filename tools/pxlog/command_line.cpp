// The command line of pxlog: which command runs, its options, and what every command shares.
#include "commands.h"

#include <string.h>

// One row a command: its name, its lines in the tool's help, and what runs it. A new command
// is a row here and its Run function in commands.h.
struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const std::vector<std::string>& words, const Streams& streams);
};

static const Command kCommands[] = {
    {"make",
     "  make OUT                     write a log from \"file PATH\" / \"dir PATH\" lines on stdin\n"
     "  make OUT --from-dir DIR --as WINPATH\n"
     "                               write a log that lists a local folder tree as WINPATH\n",
     RunMake},
    {"show", "  show LOG                     header, entries in file order, and the removal order\n",
     RunShow},
    {"check",
     "  check LOG [--install-dir WINPATH]\n"
     "                               would the uninstaller accept it, and what will go wrong\n",
     RunCheck},
    {"plan", "  plan LOG --root WINPATH=DIR  dry-run the removal against a local folder tree\n",
     RunPlan},
    {"nsis", "  nsis --from-dir DIR          NSIS lines that install DIR and log it (installer/pxunins.nsh)\n",
     RunNsis},
};

static void PrintToolHelp(FILE* stream)
{
    fputs("pxlog: the tool for uninstall logs (_pxunins.dat).\n"
          "\n"
          "usage: pxlog COMMAND [ARGUMENTS]\n"
          "\n",
          stream);
    for (const Command& command : kCommands)
        fputs(command.synopsis, stream);
    fputs("\n"
          "Every command reads logs with the uninstaller's own loader.\n"
          "Exit codes: 0 ok or clean, 1 findings, 2 refused log or usage error,\n"
          "3 pxlog and the uninstaller's loader disagree about a log (please report).\n"
          "\"pxlog COMMAND --help\" tells more.\n",
          stream);
}

static int IsOneOf(const std::string& name, const std::vector<std::string>& names)
{
    for (const std::string& candidate : names)
        if (candidate == name)
            return 1;
    return 0;
}

// Handles one word that starts with "--"; *next is advanced past a separate value.
static int ParseOption(const std::vector<std::string>& words, size_t* next,
                       const std::vector<std::string>& valueOptions,
                       const std::vector<std::string>& flagOptions, Arguments* arguments,
                       std::string* error)
{
    const std::string& word = words[*next];
    size_t equals = word.find('=');
    std::string name = word.substr(0, equals);
    if (IsOneOf(name, flagOptions) && equals == std::string::npos) {
        arguments->options.push_back({name, ""});
        return 1;
    }
    if (!IsOneOf(name, valueOptions)) {
        *error = "unknown option " + word;
        return 0;
    }
    if (equals != std::string::npos) {
        arguments->options.push_back({name, word.substr(equals + 1)});
        return 1;
    }
    if (*next + 1 >= words.size()) {
        *error = name + " needs a value";
        return 0;
    }
    arguments->options.push_back({name, words[++*next]});
    return 1;
}

int ParseArguments(const std::vector<std::string>& words,
                   const std::vector<std::string>& valueOptions,
                   const std::vector<std::string>& flagOptions, Arguments* arguments,
                   std::string* error)
{
    *arguments = Arguments();
    for (size_t next = 0; next < words.size(); next++) {
        const std::string& word = words[next];
        if (word == "--help" || word == "-h")
            arguments->help = 1;
        else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            if (!ParseOption(words, &next, valueOptions, flagOptions, arguments, error))
                return 0;
        } else if (word.size() > 1 && word[0] == '-') {
            *error = "unknown option " + word;
            return 0;
        } else
            arguments->positional.push_back(word);
    }
    return 1;
}

std::string OptionValue(const Arguments& arguments, const char* name)
{
    std::string value;
    for (const auto& option : arguments.options)
        if (option.first == name)
            value = option.second;
    return value;
}

int HasOption(const Arguments& arguments, const char* name)
{
    for (const auto& option : arguments.options)
        if (option.first == name)
            return 1;
    return 0;
}

int UsageError(const Streams& streams, const char* command, const std::string& message)
{
    fprintf(streams.err, "pxlog %s: %s\n(see \"pxlog %s --help\")\n", command, message.c_str(),
            command);
    return kExitRefused;
}

const char* KindName(uint32_t kind)
{
    return kind == 0 ? "file" : kind == 1 ? "folder" : "?";
}

int InspectLog(const Streams& streams, const char* command, const std::string& logPath,
               LogReading* reading)
{
    std::string bytes;
    std::string error;
    if (!ReadLocalFile(logPath.c_str(), &bytes, &error)) {
        fprintf(streams.err, "pxlog %s: %s\n", command, error.c_str());
        return kExitRefused;
    }
    *reading = ReadLogFields(bytes);
    std::string difference = CompareWithLoader(logPath.c_str(), *reading);
    if (difference.empty())
        return kExitClean;
    fprintf(streams.err,
            "pxlog %s: DISAGREEMENT on %s: %s.\n"
            "pxlog's own reading of this file cannot be trusted; please report it with the "
            "file.\n",
            command, logPath.c_str(), difference.c_str());
    return kExitDisagree;
}

int RunPxlog(int argc, char** argv, const Streams& streams)
{
    if (argc < 2 || strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
        strcmp(argv[1], "help") == 0) {
        PrintToolHelp(argc < 2 ? streams.err : streams.out);
        return argc < 2 ? kExitRefused : kExitClean;
    }
    std::vector<std::string> words(argv + 2, argv + argc);
    std::string names;
    for (const Command& command : kCommands) {
        if (strcmp(argv[1], command.name) == 0)
            return command.run(words, streams);
        names += std::string(names.empty() ? "" : ", ") + command.name;
    }
    fprintf(streams.err,
            "pxlog: unknown command \"%s\"; the commands are %s (see \"pxlog --help\")\n",
            argv[1], names.c_str());
    return kExitRefused;
}
