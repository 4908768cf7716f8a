// Reads the compiled resources: .res entries, extended dialog templates and icon groups.
#include "platform/sim/sim_resources.h"

// A little-endian reader over one block that refuses to run past its end.
struct ByteReader {
    const BYTE* bytes;
    size_t size;
    size_t offset;
    bool failed;
};

static bool Need(ByteReader* reader, size_t count)
{
    if (reader->failed || count > reader->size - reader->offset) {
        reader->failed = true;
        return false;
    }
    return true;
}

static BYTE ReadByte(ByteReader* reader)
{
    if (!Need(reader, 1))
        return 0;
    return reader->bytes[reader->offset++];
}

static WORD ReadWord(ByteReader* reader)
{
    if (!Need(reader, 2))
        return 0;
    const BYTE* p = reader->bytes + reader->offset;
    reader->offset += 2;
    return (WORD)(p[0] | (p[1] << 8));
}

static DWORD ReadDword(ByteReader* reader)
{
    if (!Need(reader, 4))
        return 0;
    const BYTE* p = reader->bytes + reader->offset;
    reader->offset += 4;
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// The formats align to 32 bits from the start of their block (the template, the .res file).
static void AlignToDword(ByteReader* reader)
{
    size_t aligned = (reader->offset + 3) & ~(size_t)3;
    if (aligned > reader->size) {
        reader->failed = true;
        return;
    }
    reader->offset = aligned;
}

static std::string ReadUtf16String(ByteReader* reader)
{
    std::string text;
    for (;;) {
        WORD unit = ReadWord(reader);
        if (reader->failed || unit == 0)
            return text;
        text += unit < 0x80 ? (char)unit : '?';
    }
}

// sz_Or_Ord: 0x0000 for nothing, 0xFFFF and an ordinal, or a string.
static SimResourceName ReadNameOrOrdinal(ByteReader* reader)
{
    SimResourceName name;
    if (!Need(reader, 2))
        return name;
    WORD first = (WORD)(reader->bytes[reader->offset] | (reader->bytes[reader->offset + 1] << 8));
    if (first == 0xFFFF) {
        reader->offset += 2;
        name.isOrdinal = true;
        name.ordinal = ReadWord(reader);
    } else if (first == 0) {
        reader->offset += 2;
    } else {
        name.text = ReadUtf16String(reader);
    }
    return name;
}

bool SimParseResFile(const BYTE* bytes, size_t size, std::vector<SimResourceEntry>* entries)
{
    entries->clear();
    ByteReader reader = {bytes, size, 0, false};
    while (reader.offset < size) {
        size_t start = reader.offset;
        DWORD dataSize = ReadDword(&reader);
        DWORD headerSize = ReadDword(&reader);
        SimResourceEntry entry;
        entry.type = ReadNameOrOrdinal(&reader);
        entry.name = ReadNameOrOrdinal(&reader);
        AlignToDword(&reader);
        entry.dataVersion = ReadDword(&reader);
        entry.memoryFlags = ReadWord(&reader);
        entry.languageId = ReadWord(&reader);
        entry.version = ReadDword(&reader);
        entry.characteristics = ReadDword(&reader);
        if (reader.failed || reader.offset - start != headerSize)
            return false;
        if (!Need(&reader, dataSize))
            return false;
        entry.data.assign(bytes + reader.offset, bytes + reader.offset + dataSize);
        reader.offset += dataSize;
        // The last entry may end without the padding that would align a next one.
        if (reader.offset < size)
            AlignToDword(&reader);
        if (reader.failed)
            return false;
        // A 32-bit .res opens with an empty entry of type 0 and name 0 that marks the format.
        bool marker = entry.type.isOrdinal && entry.type.ordinal == 0 && entry.name.isOrdinal &&
                      entry.name.ordinal == 0 && dataSize == 0;
        if (!marker)
            entries->push_back(entry);
    }
    return true;
}

const std::vector<SimResourceEntry>& SimProgramResources()
{
    static std::vector<SimResourceEntry> entries;
    static bool read = false;
    if (!read) {
        // A .res that does not parse leaves no resources: every dialog creation then fails.
        if (!SimParseResFile(SimResFileBytes, SimResFileSize, &entries))
            entries.clear();
        read = true;
    }
    return entries;
}

const SimResourceEntry* SimFindResource(WORD type, LPCSTR name)
{
    bool byOrdinal = ((ULONG_PTR)name >> 16) == 0;
    WORD ordinal = 0;
    std::string wanted;
    if (byOrdinal) {
        ordinal = (WORD)(ULONG_PTR)name;
    } else if (name[0] == '#') {
        byOrdinal = true;
        ordinal = (WORD)strtoul(name + 1, NULL, 10);
    } else {
        // FindResource upper-cases a string name and compares it as it is stored; resource
        // compilers store names upper-cased, so in effect the match ignores case.
        wanted = name;
        for (char& c : wanted) {
            if (c >= 'a' && c <= 'z')
                c = (char)(c - 'a' + 'A');
        }
    }
    for (const SimResourceEntry& entry : SimProgramResources()) {
        if (!entry.type.isOrdinal || entry.type.ordinal != type)
            continue;
        if (byOrdinal ? (entry.name.isOrdinal && entry.name.ordinal == ordinal)
                      : (!entry.name.isOrdinal && entry.name.text == wanted))
            return &entry;
    }
    return NULL;
}

bool SimParseDialogTemplate(const BYTE* bytes, size_t size, SimDialogTemplate* dialog)
{
    *dialog = SimDialogTemplate();
    ByteReader reader = {bytes, size, 0, false};
    dialog->dlgVer = ReadWord(&reader);
    dialog->signature = ReadWord(&reader);
    if (reader.failed || dialog->dlgVer != 1 || dialog->signature != 0xFFFF)
        return false;
    dialog->helpId = ReadDword(&reader);
    dialog->exStyle = ReadDword(&reader);
    dialog->style = ReadDword(&reader);
    dialog->itemCount = ReadWord(&reader);
    dialog->x = (short)ReadWord(&reader);
    dialog->y = (short)ReadWord(&reader);
    dialog->cx = (short)ReadWord(&reader);
    dialog->cy = (short)ReadWord(&reader);
    dialog->menu = ReadNameOrOrdinal(&reader);
    dialog->windowClass = ReadNameOrOrdinal(&reader);
    dialog->title = ReadUtf16String(&reader);
    if (dialog->style & DS_SETFONT) {
        dialog->hasFont = true;
        dialog->pointSize = ReadWord(&reader);
        dialog->weight = ReadWord(&reader);
        dialog->italic = ReadByte(&reader);
        dialog->charset = ReadByte(&reader);
        dialog->typeface = ReadUtf16String(&reader);
    }
    for (WORD i = 0; i < dialog->itemCount && !reader.failed; i++) {
        AlignToDword(&reader);
        SimDialogItem item;
        item.helpId = ReadDword(&reader);
        item.exStyle = ReadDword(&reader);
        item.style = ReadDword(&reader);
        item.x = (short)ReadWord(&reader);
        item.y = (short)ReadWord(&reader);
        item.cx = (short)ReadWord(&reader);
        item.cy = (short)ReadWord(&reader);
        item.id = ReadDword(&reader);
        item.windowClass = ReadNameOrOrdinal(&reader);
        item.title = ReadNameOrOrdinal(&reader);
        item.extraCount = ReadWord(&reader);
        if (item.extraCount > 0 && Need(&reader, item.extraCount)) {
            item.extra.assign(bytes + reader.offset, bytes + reader.offset + item.extraCount);
            reader.offset += item.extraCount;
        }
        dialog->items.push_back(item);
    }
    dialog->byteCount = reader.offset;
    return !reader.failed;
}

bool SimParseIconGroup(const BYTE* bytes, size_t size, SimIconGroup* group)
{
    *group = SimIconGroup();
    ByteReader reader = {bytes, size, 0, false};
    group->reserved = ReadWord(&reader);
    group->type = ReadWord(&reader);
    WORD count = ReadWord(&reader);
    for (WORD i = 0; i < count && !reader.failed; i++) {
        SimIconGroupEntry entry;
        entry.width = ReadByte(&reader);
        entry.height = ReadByte(&reader);
        entry.colourCount = ReadByte(&reader);
        entry.reserved = ReadByte(&reader);
        entry.planes = ReadWord(&reader);
        entry.bitCount = ReadWord(&reader);
        entry.bytesInRes = ReadDword(&reader);
        entry.id = ReadWord(&reader);
        group->entries.push_back(entry);
    }
    return !reader.failed;
}

// A process is DPI-aware from its start when its manifest (resource 1 of type 24, RT_MANIFEST)
// says <dpiAware>true</dpiAware>, "true/pm" or "per monitor" (Vista on; the consumer line and XP
// have no such call). Anything else, or no manifest, leaves it unaware.
BOOL WINAPI IsProcessDPIAware(void)
{
    const SimResourceEntry* manifest = SimFindResource(24, MAKEINTRESOURCEA(1));
    if (manifest == NULL)
        return FALSE;
    std::string text(manifest->data.begin(), manifest->data.end());
    size_t open = text.find("<dpiAware");
    size_t start = open == std::string::npos ? open : text.find('>', open);
    size_t end = start == std::string::npos ? start : text.find("</dpiAware>", start);
    if (end == std::string::npos)
        return FALSE;
    std::string value = text.substr(start + 1, end - start - 1);
    size_t first = value.find_first_not_of(" \t\r\n");
    size_t last = value.find_last_not_of(" \t\r\n");
    value = first == std::string::npos ? "" : value.substr(first, last - first + 1);
    for (char& c : value)
        c = (char)((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return value == "true" || value == "true/pm" || value == "per monitor";
}
