// Proves, at compile time, that every constant the host build declares has its <windows.h> value.
#include "platform/platform.h"

#define WIN32_CONSTANT(type, name, value) \
    static_assert((name) == (value), #name " differs from <windows.h>");
#include "platform/win32_values.inc"
#undef WIN32_CONSTANT
