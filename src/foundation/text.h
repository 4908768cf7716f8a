// Comparing texts the way the system's registry and path checks need.
#ifndef FOUNDATION_TEXT_H
#define FOUNDATION_TEXT_H

// 1 when a and b are equal with the letters A to Z folded to a to z and nothing else folded.
// Independent of the C library's locale, which could fold more.
int EqualIgnoringAsciiCase(const char* a, const char* b);

#endif
