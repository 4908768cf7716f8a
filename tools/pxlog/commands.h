// The pxlog commands: each takes its own arguments and the three standard streams, and
// returns the process's exit code.
#ifndef PXLOG_COMMANDS_H
#define PXLOG_COMMANDS_H

#include <stdio.h>

#include <string>
#include <vector>

#include "log_reader.h"

enum {
    kExitClean = 0,     // done; the log is accepted and has no findings
    kExitFindings = 1,  // the log is accepted, but something in it will not go as meant
    kExitRefused = 2,   // the uninstaller refuses the log, or the command line is wrong
    kExitDisagree = 3,  // pxlog and the uninstaller's loader read the log differently
};

struct Streams {
    FILE* in;
    FILE* out;
    FILE* err;
};

// The command line after the command's name, split into positional words and options.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string> > options;  // name, value ("" for a flag)
    int help;
};

// Splits the words; valueOptions take a value ("--x V" or "--x=V"), flagOptions do not.
// 1 on success; 0 with the reason in error.
int ParseArguments(const std::vector<std::string>& words,
                   const std::vector<std::string>& valueOptions,
                   const std::vector<std::string>& flagOptions, Arguments* arguments,
                   std::string* error);

// The last value given for an option, or "" when it was not given.
std::string OptionValue(const Arguments& arguments, const char* name);
int HasOption(const Arguments& arguments, const char* name);

// Prints "pxlog COMMAND: message" and the hint to --help; returns kExitRefused.
int UsageError(const Streams& streams, const char* command, const std::string& message);

// Reads the log and asks the loader for its verdict. kExitClean when the reading can be
// trusted; otherwise the exit code, with the reason already printed.
int InspectLog(const Streams& streams, const char* command, const std::string& logPath,
               LogReading* reading);

const char* KindName(uint32_t kind);

int RunMake(const std::vector<std::string>& words, const Streams& streams);
int RunShow(const std::vector<std::string>& words, const Streams& streams);
int RunCheck(const std::vector<std::string>& words, const Streams& streams);
int RunPlan(const std::vector<std::string>& words, const Streams& streams);
int RunNsis(const std::vector<std::string>& words, const Streams& streams);

// The whole tool: argv[1] names the command.
int RunPxlog(int argc, char** argv, const Streams& streams);

#endif
