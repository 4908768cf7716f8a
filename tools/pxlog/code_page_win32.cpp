// ConvertFromUtf8 in pxlog.exe: through UTF-16, refusing best fit, and a round trip back, as the
// code page's own tables decide.
#include "code_page.h"

#include <windows.h>

int ConvertFromUtf8(const std::string& utf8, unsigned codePage, std::string* converted)
{
    if (utf8.empty()) {
        converted->clear();
        return 1;
    }
    int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(),
                                         NULL, 0);
    if (wideLength == 0)
        return 0;
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), (int)utf8.size(), &wide[0],
                        wideLength);
    // CP_UTF8 and the other code pages without best fit refuse the flag and the default character.
    BOOL usedDefault = FALSE;
    int bestFit = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* usedDefaultOut = codePage == CP_UTF8 ? NULL : &usedDefault;
    int length = WideCharToMultiByte(codePage, bestFit, wide.data(), wideLength, NULL, 0, NULL,
                                     usedDefaultOut);
    if (length == 0)
        return 0;
    std::string bytes(length, '\0');
    WideCharToMultiByte(codePage, bestFit, wide.data(), wideLength, &bytes[0], length, NULL,
                        usedDefaultOut);
    if (usedDefault)
        return 0;
    std::wstring back(wideLength, L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, &back[0],
                            wideLength) != wideLength ||
        back != wide)
        return 0;
    *converted = bytes;
    return 1;
}
