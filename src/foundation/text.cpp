// Comparisons of A-Z without case, and string data read from the registry.
#include "foundation/text.h"

#include <string.h>

#include "platform/platform.h"

static char FoldAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

size_t CommonPrefixIgnoringAsciiCase(const char* a, const char* b)
{
    size_t shared = 0;
    while (a[shared] != '\0') {
        // A lead byte is never a letter A-Z, so folding leaves it as it is; its trail byte may
        // be one ("83 41"), and is compared exactly.
        if (IsDBCSLeadByte((BYTE)a[shared]) && a[shared + 1] != '\0') {
            if (a[shared] != b[shared] || a[shared + 1] != b[shared + 1])
                break;
            shared += 2;
            continue;
        }
        if (FoldAsciiLetter(a[shared]) != FoldAsciiLetter(b[shared]))
            break;
        shared++;
    }
    return shared;
}

int EqualIgnoringAsciiCase(const char* a, const char* b)
{
    size_t shared = CommonPrefixIgnoringAsciiCase(a, b);
    return a[shared] == '\0' && b[shared] == '\0';
}

int TerminateRegistryString(char* data, unsigned long size, unsigned long capacity)
{
    // A value may be stored without its NUL, and the ANSI read then adds none.
    if (size > capacity)
        return 0;
    for (unsigned long i = 0; i < size; i++) {
        if (data[i] == '\0')
            return 1;
    }
    if (size == capacity)
        return 0;
    data[size] = '\0';
    return 1;
}
