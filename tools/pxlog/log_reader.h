// Reading an uninstall log field by field, to say where and why the uninstaller refuses it,
// and asking the uninstaller's own loader for its verdict.
#ifndef PXLOG_LOG_READER_H
#define PXLOG_LOG_READER_H

#include <stdint.h>

#include <string>
#include <vector>

// One counted entry as it stands in the file.
struct LoggedEntry {
    long offset;        // of its kind word, from the start of the file
    uint32_t kind;      // 0 file, 1 folder
    int32_t length;     // path bytes stored, 1 to 259
    std::string bytes;  // the path bytes as stored, NULs included
    std::string path;   // the bytes up to the first NUL: what the uninstaller hands to Windows
};

// Where the loader stops reading: the field, its offset and what it found there.
struct LogRefusal {
    long offset;        // of the field, from the start of the file
    std::string field;  // "magic", "entry 3 kind", ...
    std::string value;  // what the file holds there, or how many of its bytes are present
    std::string rule;   // what the loader wants instead
};

struct LogReading {
    long fileSize;
    int headerWords;            // how many of magic, second word and count are complete
    uint32_t magic;
    uint32_t secondWord;
    int32_t count;              // signed: 0 or less lists nothing
    std::vector<LoggedEntry> entries;  // the entries read, in file order
    int refused;                // 1 when the loader would refuse the log
    LogRefusal refusal;         // set when refused
    long endOfEntries;          // offset just after the last counted entry, when accepted
};

// Reads a whole local file into bytes. 1 on success; 0 with the reason in error.
int ReadLocalFile(const char* path, std::string* bytes, std::string* error);

// Reads the log's fields in the loader's order and stops where the loader would.
LogReading ReadLogFields(const std::string& bytes);

// "offset 8, entry count: ...; rule" for a refused reading.
std::string DescribeRefusal(const LogRefusal& refusal);

// Runs ParseUninstallLog on the same file. Empty when it agrees with the reading (same
// verdict and, when accepted, the same entries); otherwise what differs.
std::string CompareWithLoader(const char* logPath, const LogReading& reading);

#endif
