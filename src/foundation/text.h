// Comparing texts the way the system's registry and path checks need.
#ifndef FOUNDATION_TEXT_H
#define FOUNDATION_TEXT_H

// 1 when a and b are equal with the letters A to Z folded to a to z and nothing else folded.
// Independent of the C library's locale, which could fold more.
int EqualIgnoringAsciiCase(const char* a, const char* b);

// Makes the string data that a registry read left in a buffer of capacity bytes safe to use as
// a NUL-terminated string, given the size the read reported. 0 when the data fills the whole
// buffer without a NUL: it was cut, and must not be read past the buffer.
int TerminateRegistryString(char* data, unsigned long size, unsigned long capacity);

#endif
