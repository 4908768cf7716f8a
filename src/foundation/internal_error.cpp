// The fatal report of a condition that a sound run never produces.
#include "foundation/internal_error.h"

#include <stdio.h>

#include "foundation/messages.h"
#include "platform/platform.h"

int InternalErrorDepth;
int (*InternalErrorReport)(const char* text);

int IsDebuggerAttached(void)
{
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    if (kernel == NULL)
        return 0;

    int attached = 0;
    typedef BOOL(WINAPI * IsDebuggerPresentFunction)(void);
    IsDebuggerPresentFunction isDebuggerPresent =
        (IsDebuggerPresentFunction)(void*)GetProcAddress(kernel, "IsDebuggerPresent");
    if (isDebuggerPresent != NULL)
        attached = isDebuggerPresent() != 0;
    FreeLibrary(kernel);
    return attached;
}

void InternalError(int module, int line)
{
    // A second report while the first one's box runs the message loop would stack boxes.
    if (InternalErrorDepth > 0) {
        if (IsDebuggerAttached())
            DebugBreak();
        ExitProcess(1);
    }
    InternalErrorDepth++;

    char text[1000];
    snprintf(text, sizeof text, "File %d\nLine %d", module, line);

    // The uninstall log may be open; nothing else outlives the process's end cleanly.
    _fcloseall();

    // A run that shows no window has no one to press OK: its report says it instead.
    if (InternalErrorReport == NULL || !InternalErrorReport(text))
        MessageBoxA(NULL, text, kInternalErrorCaption, MB_TASKMODAL);
    if (IsDebuggerAttached())
        DebugBreak();
    ExitProcess(1);
}
