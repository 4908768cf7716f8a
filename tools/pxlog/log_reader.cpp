// Reading an uninstall log field by field, in the loader's order, stopping where it stops.
#include "log_reader.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "path_text.h"
#include "uninstall_log/log_loader.h"
#include "uninstall_log/removal_list.h"

int ReadLocalFile(const char* path, std::string* bytes, std::string* error)
{
    FILE* stream = fopen(path, "rb");
    if (stream == NULL) {
        *error = std::string("cannot open ") + path + ": " + strerror(errno);
        return 0;
    }
    bytes->clear();
    char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, stream)) > 0)
        bytes->append(block, got);
    int failed = ferror(stream);
    fclose(stream);
    if (failed) {
        *error = std::string("cannot read ") + path;
        return 0;
    }
    return 1;
}

static std::string FormatHex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// A word's bytes as they lie on disk, least significant first: "E0 AA 49 57".
static std::string FormatBytes(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof text, "%02X %02X %02X %02X", value & 0xFF, (value >> 8) & 0xFF,
             (value >> 16) & 0xFF, value >> 24);
    return text;
}

// A field that the file ends inside: how many of its bytes are there.
static void RefuseShort(LogReading* reading, long offset, const std::string& field,
                        long needed)
{
    long present = reading->fileSize - offset;
    reading->refused = 1;
    reading->refusal.offset = offset;
    reading->refusal.field = field;
    reading->refusal.value = "the file ends after " + std::to_string(present) + " of its " +
                             std::to_string(needed) + " bytes";
    reading->refusal.rule = "a short read refuses the log";
}

static void Refuse(LogReading* reading, long offset, const std::string& field,
                   const std::string& value, const std::string& rule)
{
    reading->refused = 1;
    reading->refusal = {offset, field, value, rule};
}

static int TakeWord(const std::string& bytes, long offset, uint32_t* value)
{
    if ((long)bytes.size() - offset < 4)
        return 0;
    const unsigned char* p = (const unsigned char*)bytes.data() + offset;
    *value = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
             ((uint32_t)p[3] << 24);
    return 1;
}

static int ReadHeader(const std::string& bytes, LogReading* reading)
{
    if (!TakeWord(bytes, 0, &reading->magic)) {
        RefuseShort(reading, 0, "magic", 4);
        return 0;
    }
    reading->headerWords = 1;
    if (reading->magic != UninstallLogMagic) {
        // Written by a big-endian writer, the first bytes read 57 49 AA E0.
        std::string hint = reading->magic == 0xE0AA4957u ? " (stored big-endian)" : "";
        Refuse(reading, 0, "magic", FormatHex(reading->magic) + hint,
               "must be " + FormatHex(UninstallLogMagic) + ", the bytes " + FormatBytes(UninstallLogMagic));
        return 0;
    }
    if (!TakeWord(bytes, 4, &reading->secondWord)) {
        RefuseShort(reading, 4, "second header word", 4);
        return 0;
    }
    reading->headerWords = 2;
    if (reading->secondWord != 0) {
        Refuse(reading, 4, "second header word", FormatHex(reading->secondWord), "must be 0");
        return 0;
    }
    uint32_t countWord;
    if (!TakeWord(bytes, kLogCountOffset, &countWord)) {
        RefuseShort(reading, kLogCountOffset, "entry count", 4);
        return 0;
    }
    reading->headerWords = 3;
    reading->count = (int32_t)countWord;
    return 1;
}

static std::string EntryField(int number, const char* field)
{
    return "entry " + std::to_string(number) + " " + field;
}

// Reads entry number (from 1) at *offset; 0 when the loader refuses it.
static int ReadEntryFields(const std::string& bytes, int number, long* offset,
                           LogReading* reading)
{
    LoggedEntry entry;
    entry.offset = *offset;
    if (!TakeWord(bytes, *offset, &entry.kind)) {
        if (*offset == reading->fileSize)
            Refuse(reading, *offset, EntryField(number, "kind"), "the file ends here",
                   "the count says " + std::to_string(reading->count) + " entries, " +
                       std::to_string(number - 1) + " are present");
        else
            RefuseShort(reading, *offset, EntryField(number, "kind"), 4);
        return 0;
    }
    if (entry.kind > 1) {
        Refuse(reading, *offset, EntryField(number, "kind"),
               std::to_string(entry.kind) + " (" + FormatHex(entry.kind) + ")",
               "must be 0 (file) or 1 (folder)");
        return 0;
    }
    uint32_t lengthWord;
    if (!TakeWord(bytes, *offset + 4, &lengthWord)) {
        RefuseShort(reading, *offset + 4, EntryField(number, "path length"), 4);
        return 0;
    }
    entry.length = (int32_t)lengthWord;
    if (entry.length < 1 || entry.length > kLongestLoggedPath) {
        Refuse(reading, *offset + 4, EntryField(number, "path length"),
               std::to_string(entry.length),
               "must be 1 to " + std::to_string(kLongestLoggedPath));
        return 0;
    }
    if (reading->fileSize - (*offset + kLogEntryHeadSize) < entry.length) {
        RefuseShort(reading, *offset + kLogEntryHeadSize, EntryField(number, "path"), entry.length);
        return 0;
    }
    entry.bytes = bytes.substr((size_t)*offset + kLogEntryHeadSize, (size_t)entry.length);
    entry.path = entry.bytes.substr(0, entry.bytes.find('\0'));
    reading->entries.push_back(entry);
    *offset += kLogEntryHeadSize + entry.length;
    return 1;
}

LogReading ReadLogFields(const std::string& bytes)
{
    LogReading reading = {};
    reading.fileSize = (long)bytes.size();
    if (!ReadHeader(bytes, &reading))
        return reading;
    long offset = kLogHeaderSize;
    for (int number = 1; number <= reading.count; number++)
        if (!ReadEntryFields(bytes, number, &offset, &reading))
            return reading;
    reading.endOfEntries = offset;
    return reading;
}

std::string DescribeRefusal(const LogRefusal& refusal)
{
    return "offset " + std::to_string(refusal.offset) + ", " + refusal.field + ": " +
           refusal.value + "; " + refusal.rule;
}

// Empty when the loader's list holds exactly the reading's entries, in order.
static std::string CompareEntries(const RemovalList& list, const LogReading& reading)
{
    size_t index = 0;
    for (RemovalNode* node = list.oldest; node != NULL; node = node->newer, index++) {
        if (index >= reading.entries.size())
            return "the loader has more entries than pxlog read";
        const LoggedEntry& entry = reading.entries[index];
        if (node->entry->kind != entry.kind || entry.path != node->entry->path)
            return "entry " + std::to_string(index + 1) + " differs";
    }
    if (index != reading.entries.size())
        return "the loader has fewer entries than pxlog read";
    return "";
}

std::string CompareWithLoader(const char* logPath, const LogReading& reading)
{
    FILE* stream = fopen(logPath, "rb");
    if (stream == NULL)
        return std::string("the loader cannot open the file: ") + strerror(errno);
    RemovalList list = {NULL, NULL};
    int accepted = ParseUninstallLog(&list, stream);
    fclose(stream);

    std::string difference;
    if (accepted == reading.refused)
        difference = accepted ? "the loader accepts the log, pxlog refuses it"
                              : "the loader refuses the log, pxlog accepts it";
    else if (accepted)
        difference = CompareEntries(list, reading);
    ClearRemovalList(&list);
    return difference;
}
