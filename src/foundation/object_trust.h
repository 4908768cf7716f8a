// Whether a file or folder can be changed by no one but the system's administrators.
#ifndef FOUNDATION_OBJECT_TRUST_H
#define FOUNDATION_OBJECT_TRUST_H

#include "platform/platform.h"

// 1 when the descriptor's owner is Administrators, SYSTEM or the running user, and its DACL
// grants no right to change the object or what lies in it to anyone else. 0 for any other
// owner, a missing or null DACL (which grants everything to everyone), or a descriptor that
// cannot be read.
int IsChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor);

#endif
