// The uninstall log's format: a 12-byte header and counted entries, all numbers little-endian.
#include "uninstall_log/log_loader.h"

#include "foundation/internal_error.h"
#include "foundation/memory.h"
#include "platform/platform.h"

// Reads one 32-bit little-endian word; 0 when the stream ends or fails before its fourth byte.
static int ReadWord(FILE* stream, uint32_t* value)
{
    unsigned char bytes[4];
    if (fread(bytes, 1, sizeof bytes, stream) != sizeof bytes)
        return 0;
    *value = (uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) | ((uint32_t)bytes[2] << 16) |
             ((uint32_t)bytes[3] << 24);
    return 1;
}

// Reads the entry after the header's or the previous entry's bytes into a new RemovalEntry,
// or returns null when the entry is refused; nothing of a refused entry is kept.
static RemovalEntry* ReadEntry(FILE* stream)
{
    RemovalEntry* entry = (RemovalEntry*)AllocTagged(kModuleNumber, 51, sizeof(RemovalEntry), 1);
    if (entry == NULL)
        return NULL;
    entry->path = NULL;
    entry->holder = NULL;

    uint32_t kind;
    uint32_t lengthWord;
    if (!ReadWord(stream, &kind) || kind > EntryKindDirectory ||
        !ReadWord(stream, &lengthWord)) {
        FreeIfSet(entry);
        return NULL;
    }
    int32_t length = (int32_t)lengthWord;
    if (length < 1 || length > kLongestLoggedPath) {
        FreeIfSet(entry);
        return NULL;
    }
    entry->kind = kind;

    entry->path = (char*)AllocTagged(kModuleNumber, 58, (size_t)length + 1, 1);
    if (entry->path == NULL || fread(entry->path, 1, (size_t)length, stream) != (size_t)length) {
        FreeIfSet(entry->path);
        FreeIfSet(entry);
        return NULL;
    }
    entry->path[length] = '\0';
    return entry;
}

int ParseUninstallLog(RemovalList* list, FILE* stream)
{
    ClearRemovalList(list);

    uint32_t magic;
    uint32_t secondWord;
    uint32_t countWord;
    if (!ReadWord(stream, &magic) || magic != UninstallLogMagic)
        return 0;
    if (!ReadWord(stream, &secondWord) || secondWord != 0)
        return 0;
    if (!ReadWord(stream, &countWord))
        return 0;

    // A count of 0 or less lists nothing, whatever follows the header.
    int32_t count = (int32_t)countWord;
    for (int32_t i = 0; i < count; i++) {
        RemovalEntry* entry = ReadEntry(stream);
        if (entry == NULL)
            return 0;
        // A log missing entries would uninstall half an installation and call it complete.
        if (!AddEntry(list, entry)) {
            FreeIfSet(entry->path);
            FreeIfSet(entry);
            return 0;
        }
    }
    return 1;
}
