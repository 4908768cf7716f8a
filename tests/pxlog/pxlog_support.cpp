// What the pxlog tests share: the log builder, a scratch folder, and a way to run
// the tool's commands with captured streams.
#include "pxlog_support.h"

#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "commands.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder()
{
    static int serial;
    root_ = fs::temp_directory_path() /
            ("pxlog-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    fs::remove_all(root_);
    fs::create_directories(root_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string ScratchFolder::Path(const std::string& relative) const
{
    return relative.empty() ? root_.string() : (root_ / relative).string();
}

void ScratchFolder::AddFile(const std::string& relative, const std::string& bytes)
{
    fs::create_directories((root_ / relative).parent_path());
    WriteWholeFile(Path(relative), bytes);
}

void ScratchFolder::AddFolder(const std::string& relative)
{
    fs::create_directories(root_ / relative);
}

static std::string ReadStream(FILE* stream)
{
    std::string text;
    rewind(stream);
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, stream)) > 0)
        text.append(block, got);
    fclose(stream);
    return text;
}

ToolResult RunTool(const std::vector<std::string>& words, const std::string& input)
{
    std::vector<std::string> argvText = {"pxlog"};
    argvText.insert(argvText.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : argvText)
        argv.push_back(&word[0]);
    argv.push_back(NULL);

    Streams streams = {tmpfile(), tmpfile(), tmpfile()};
    fwrite(input.data(), 1, input.size(), streams.in);
    rewind(streams.in);
    ToolResult result;
    result.code = RunPxlog((int)argvText.size(), argv.data(), streams);
    fclose(streams.in);
    result.out = ReadStream(streams.out);
    result.err = ReadStream(streams.err);
    return result;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(line);
    return lines;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream stream(path, std::ios::binary);
    stream.write(bytes.data(), (std::streamsize)bytes.size());
}
