// Joining names onto paths and taking paths apart, in MAX_PATH buffers.
#ifndef FOUNDATION_PATHS_H
#define FOUNDATION_PATHS_H

enum PathPart {
    PathPartDrive = 0x1000,  // drive letter and colon
    PathPartDir = 0x0100,    // directory up to and including the last separator
    PathPartName = 0x0010,   // file name without extension
    PathPartExt = 0x0001,    // extension with its dot
};

// Joins name onto the path in a MAX_PATH buffer with one separator between them. 0 when the
// result would exceed 259 characters; the path is then unchanged, except for a separator that
// step was able to add.
int AppendPathComponent(char* path, const char* name);

// Writes into dest (a MAX_PATH buffer) the parts of src that mask selects. A mask selecting
// none of the four parts is an internal error.
void ExtractPathParts(char* dest, const char* src, int mask);

// 1 when path is a full path: a drive letter, a colon and a separator, or a network path that
// starts with two separators. Anything else resolves against the working folder.
int IsFullPath(const char* path);

// Writes into dest (a MAX_PATH buffer) the full path src as Windows resolves it before the file
// system sees it: "/" and "\" both separate, a run of separators counts as one, "." is the
// folder it stands in and ".." its parent, never above the root ("C:\" or "\\server\share\").
// A lead byte of a double-byte character takes its trail byte with it. The result has
// backslashes and no trailing one but the root's. 0, dest untouched, when src is not full or
// the result would not fit.
int ResolveFullPath(char* dest, const char* src);

// ResolveFullPath for a folder: the result ends with its separator, the root's or one added after
// the last name, so that a name joined onto it or a path compared with it sees one separator.
int ResolveFolderPath(char* dest, const char* src);

#endif
