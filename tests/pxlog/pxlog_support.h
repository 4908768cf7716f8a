// What the pxlog tests share: the log builder, a scratch folder, and a way to run
// the tool's commands with captured streams.
#ifndef TESTS_PXLOG_PXLOG_SUPPORT_H
#define TESTS_PXLOG_PXLOG_SUPPORT_H

#include <filesystem>
#include <string>
#include <vector>

// The host tests' field-by-field builder: one writer of log bytes for every C++ test.
#include "support/log_builder.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    std::string Path(const std::string& relative = "") const;
    void AddFile(const std::string& relative, const std::string& bytes = "x");
    void AddFolder(const std::string& relative);

  private:
    std::filesystem::path root_;
};

struct ToolResult {
    int code;
    std::string out;
    std::string err;
};

// Runs "pxlog WORDS..." through the tool's own entry point, input on standard input.
ToolResult RunTool(const std::vector<std::string>& words, const std::string& input = "");

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

#endif
