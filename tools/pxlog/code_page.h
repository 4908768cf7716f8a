// Text of a staging tree's names (UTF-8) in the character set an NSIS include is read in.
#ifndef PXLOG_CODE_PAGE_H
#define PXLOG_CODE_PAGE_H

#include <string>

// The text in the Windows code page codePage (1252, 932, ...): 1 when every character has a byte
// sequence of its own there, 0 when one has none or only a best-fit look-alike. Two bodies: iconv on
// the host (code_page_posix.cpp), WideCharToMultiByte in pxlog.exe (code_page_win32.cpp).
int ConvertFromUtf8(const std::string& utf8, unsigned codePage, std::string* converted);

#endif
