// ConvertFromUtf8 on the host: iconv, which without //TRANSLIT stops at a character the target lacks
// instead of putting a look-alike in its place.
#include "code_page.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>

int ConvertFromUtf8(const std::string& utf8, unsigned codePage, std::string* converted)
{
    char target[16];
    snprintf(target, sizeof target, "CP%u", codePage);
    iconv_t conversion = iconv_open(target, "UTF-8");
    if (conversion == (iconv_t)-1)
        return 0;
    std::string in = utf8;
    std::string out(in.size() * 4 + 4, '\0');
    char* inAt = &in[0];
    size_t inLeft = in.size();
    char* outAt = &out[0];
    size_t outLeft = out.size();
    size_t result = iconv(conversion, &inAt, &inLeft, &outAt, &outLeft);
    iconv_close(conversion);
    if (result == (size_t)-1 || inLeft != 0)
        return 0;
    // A count of irreversible conversions above 0 means a look-alike went in.
    if (result != 0)
        return 0;
    converted->assign(&out[0], out.size() - outLeft);
    return 1;
}
