// Whether only administrators and the system can change an object, judged from its security
// descriptor: the rule by which the run trusts what it acts on with an administrator's rights.
#ifndef FOUNDATION_OBJECT_TRUST_H
#define FOUNDATION_OBJECT_TRUST_H

#include "platform/platform.h"

// 1 when the owner of the object and every entry of its DACL leave changing it (writing or
// appending to it, its attributes, adding files or folders to it, deleting it or what it holds,
// changing its permissions or its owner) to Administrators, SYSTEM, TrustedInstaller and the
// user this process runs as; Power Users count as administrators when majorVersion is 5
// (Windows 2000, XP and Server 2003 give them that power; 0 counts them against). 0 otherwise:
// no owner, another owner, no DACL (which lets everyone do everything), an entry of a kind this
// rule does not know. Entries that only pass on to what is made inside the object count when
// contentsToo is 1 (a folder that will receive files) and are skipped when it is 0 (an object
// whose contents are judged apart). Generic rights are mapped to the file rights. The
// descriptor may be self-relative (GetFileSecurityA, GetKernelObjectSecurity) or absolute.
int OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, DWORD majorVersion, int contentsToo);

// The same rule for a folder the run makes and fills itself: what is made inside counts, and
// Power Users count against.
int IsChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor);

#endif
