// Joining a name onto a path, and keeping chosen parts of a path, within MAX_PATH bytes.
#include "foundation/paths.h"

#include <string.h>

#include "foundation/internal_error.h"
#include "platform/platform.h"

// The longest directory, file name or extension kept by ExtractPathParts.
enum { kPathPartMax = 255 };

static int IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Drive letters are ASCII; a lead byte of a double-byte character is never one of these bytes.
int IsFullPath(const char* path)
{
    char drive = path[0];
    if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':' &&
        IsPathSeparator(path[2]))
        return 1;
    return IsPathSeparator(path[0]) && IsPathSeparator(path[1]);
}

// Where the name that starts at text[at] ends: at the next separator or the NUL. A trail byte of
// 0x5C or 0x2F belongs to its lead byte.
static size_t EndOfName(const char* text, size_t at)
{
    while (text[at] != '\0' && !IsPathSeparator(text[at])) {
        if (IsDBCSLeadByte((BYTE)text[at]) && text[at + 1] != '\0')
            at++;
        at++;
    }
    return at;
}

static size_t SkipSeparators(const char* text, size_t at)
{
    while (IsPathSeparator(text[at]))
        at++;
    return at;
}

// The work of ResolveFullPath and ResolveFolderPath: keepSeparator ends every path with one.
static int ResolvePath(char* dest, const char* src, int keepSeparator)
{
    if (!IsFullPath(src) || strlen(src) >= MAX_PATH)
        return 0;
    // Never longer than src, but for the separator a bare "\\server\share" gains.
    char work[MAX_PATH + 1];
    size_t used = 0;
    size_t at;
    if (src[1] == ':') {
        work[used++] = src[0];
        work[used++] = ':';
        at = 3;
    } else {
        // "\\server\share\": ".." climbs no higher than the share.
        work[used++] = '\\';
        at = 2;
        for (int part = 0; part < 2 && src[at] != '\0'; part++) {
            work[used++] = '\\';
            size_t end = EndOfName(src, at);
            memcpy(work + used, src + at, end - at);
            used += end - at;
            at = SkipSeparators(src, end);
        }
    }
    work[used++] = '\\';
    // Where each name kept starts: ".." goes back to the last one, never past the root.
    size_t starts[MAX_PATH / 2];
    int names = 0;
    at = SkipSeparators(src, at);
    while (src[at] != '\0') {
        size_t end = EndOfName(src, at);
        size_t length = end - at;
        if (length == 2 && src[at] == '.' && src[at + 1] == '.') {
            if (names > 0)
                used = starts[--names];
        } else if (!(length == 1 && src[at] == '.')) {
            starts[names++] = used;
            memcpy(work + used, src + at, length);
            used += length;
            work[used++] = '\\';
        }
        at = SkipSeparators(src, end);
    }
    // The root keeps its separator; every other path loses its last one, unless it names a folder
    // that is to be joined onto. The separator is placed where a name ends, never guessed from a
    // last byte that may be the trail byte 0x5C of a double-byte character.
    if (names > 0 && !keepSeparator)
        used--;
    if (used >= MAX_PATH)
        return 0;
    work[used] = '\0';
    memcpy(dest, work, used + 1);
    return 1;
}

int ResolveFullPath(char* dest, const char* src)
{
    return ResolvePath(dest, src, 0);
}

int ResolveFolderPath(char* dest, const char* src)
{
    return ResolvePath(dest, src, 1);
}

int AppendPathComponent(char* path, const char* name)
{
    size_t a = strlen(path);
    size_t b = strlen(name);

    // Only the last byte is looked at: a trail byte of 0x5C counts as a separator here.
    if (a > 0 && !IsPathSeparator(path[a - 1])) {
        if (a >= MAX_PATH - 1)
            return 0;
        path[a] = '\\';
        path[a + 1] = '\0';
        a++;
    }
    if (a + b >= MAX_PATH)
        return 0;
    memcpy(path + a, name, b + 1);
    return 1;
}

// A piece of a path: where it starts in the source and how many bytes it has.
struct PathSpan {
    const char* start;
    size_t length;
};

static PathSpan CutToPartMax(PathSpan span)
{
    if (span.length > kPathPartMax)
        span.length = kPathPartMax;
    return span;
}

// Appends at most length bytes to dest, never past its MAX_PATH bytes.
static void AppendBounded(char* dest, size_t* used, const char* text, size_t length)
{
    size_t room = (MAX_PATH - 1) - *used;
    if (length > room)
        length = room;
    memcpy(dest + *used, text, length);
    *used += length;
    dest[*used] = '\0';
}

void ExtractPathParts(char* dest, const char* src, int mask)
{
    int parts = mask & 0xFFFF;
    if ((parts & (PathPartDrive | PathPartDir | PathPartName | PathPartExt)) == 0)
        InternalError(kModuleNumber, 914);

    PathSpan drive = {src, 0};
    if (src[0] != '\0' && src[1] == ':')
        drive.length = 2;

    // Find the last separator and the last dot; a lead byte of the ANSI code page takes its
    // trail byte with it, so a trail byte of 0x5C or 0x2E is neither.
    const char* rest = src + drive.length;
    const char* lastSeparator = NULL;
    const char* lastDot = NULL;
    const char* end = rest;
    while (*end != '\0') {
        if (IsDBCSLeadByte((BYTE)*end) && end[1] != '\0') {
            end += 2;
            continue;
        }
        if (IsPathSeparator(*end))
            lastSeparator = end;
        else if (*end == '.')
            lastDot = end;
        end++;
    }
    const char* nameStart = lastSeparator != NULL ? lastSeparator + 1 : rest;
    if (lastDot != NULL && lastDot < nameStart)
        lastDot = NULL;
    const char* nameEnd = lastDot != NULL ? lastDot : end;

    PathSpan dir = CutToPartMax({rest, (size_t)(nameStart - rest)});
    PathSpan name = CutToPartMax({nameStart, (size_t)(nameEnd - nameStart)});
    PathSpan ext = CutToPartMax({nameEnd, (size_t)(end - nameEnd)});

    // Every part is taken from src before dest is written: the two may be the same buffer.
    char work[MAX_PATH];
    size_t used = 0;
    work[0] = '\0';
    if ((parts & PathPartDrive) && drive.length > 0) {
        AppendBounded(work, &used, drive.start, 1);
        AppendBounded(work, &used, ":", 1);
    }
    if ((parts & PathPartDir) && dir.length > 0) {
        AppendBounded(work, &used, dir.start, dir.length);
        if (!IsPathSeparator(dir.start[dir.length - 1]))
            AppendBounded(work, &used, "\\", 1);
    }
    if ((parts & PathPartName) && name.length > 0)
        AppendBounded(work, &used, name.start, name.length);
    if ((parts & PathPartExt) && ext.length > 0) {
        if (ext.start[0] != '.')
            AppendBounded(work, &used, ".", 1);
        AppendBounded(work, &used, ext.start, ext.length);
    }
    memcpy(dest, work, used + 1);
}
