// Comparisons of A-Z without case, and string data read from the registry.
#include "foundation/text.h"

static char FoldAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int EqualIgnoringAsciiCase(const char* a, const char* b)
{
    while (*a != '\0' && FoldAsciiLetter(*a) == FoldAsciiLetter(*b)) {
        a++;
        b++;
    }
    return FoldAsciiLetter(*a) == FoldAsciiLetter(*b);
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
