// What the pxlog tests share: a field-by-field log builder, a scratch folder, and a way to run
// the tool's commands with captured streams.
#ifndef TESTS_PXLOG_PXLOG_SUPPORT_H
#define TESTS_PXLOG_PXLOG_SUPPORT_H

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

// Builds log bytes one field at a time, each a 32-bit little-endian word or raw bytes.
class LogBuilder {
  public:
    LogBuilder& Word(uint32_t value);
    LogBuilder& Text(const std::string& bytes);
    // Magic, second word 0 and the count: the header of a sound log.
    LogBuilder& Header(int32_t count);
    // Kind word, length word (the text's length unless given), then the text.
    LogBuilder& Entry(uint32_t kind, const std::string& path);
    LogBuilder& File(const std::string& path) { return Entry(0, path); }
    LogBuilder& Folder(const std::string& path) { return Entry(1, path); }
    std::string Bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

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
