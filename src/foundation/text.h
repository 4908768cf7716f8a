// Comparing texts the way the system's registry and path checks need.
#ifndef FOUNDATION_TEXT_H
#define FOUNDATION_TEXT_H

#include <stddef.h>

// How many leading bytes a and b share, the letters A to Z folded to a to z and nothing else
// folded, counted in whole characters of the ANSI code page: a double-byte character counts
// only when both of its bytes are equal, so its trail byte is never folded ("83 41" and
// "83 61" of code page 932 are two characters). Independent of the C library's locale.
size_t CommonPrefixIgnoringAsciiCase(const char* a, const char* b);

// 1 when a and b are equal by the rule above.
int EqualIgnoringAsciiCase(const char* a, const char* b);

// Makes the string data that a registry read left in a buffer of capacity bytes safe to use as
// a NUL-terminated string, given the size the read reported. 0 when the data fills the whole
// buffer without a NUL: it was cut, and must not be read past the buffer.
int TerminateRegistryString(char* data, unsigned long size, unsigned long capacity);

#endif
