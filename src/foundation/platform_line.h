// Which line of Windows the program runs on.
#ifndef FOUNDATION_PLATFORM_LINE_H
#define FOUNDATION_PLATFORM_LINE_H

// 1 on the NT line, 0 on the consumer line; asks the system at every call. A failed version
// query is an internal error.
int IsNtPlatform(void);

#endif
