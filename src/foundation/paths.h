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

#endif
