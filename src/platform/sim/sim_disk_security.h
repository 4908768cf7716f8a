// The simulated disk's rights, volumes, open items and the link swaps a test declares; held by
// SimDisk (sim.h).
#ifndef PLATFORM_SIM_SIM_DISK_SECURITY_H
#define PLATFORM_SIM_SIM_DISK_SECURITY_H

#include <string>
#include <vector>

#include "platform/platform.h"

// One entry of a DACL, its SID written "S-1-5-32-544".
struct SimAce {
    std::string sid;
    DWORD mask = 0;
    BYTE flags = 0;                       // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE...
    BYTE type = ACCESS_ALLOWED_ACE_TYPE;  // or ACCESS_DENIED_ACE_TYPE
};

// What GetKernelObjectSecurity reads of a file or folder on the NT line.
struct SimSecurity {
    std::string owner;          // the SID of the owner
    std::vector<SimAce> dacl;   // in order
    bool hasDacl = true;        // false: no DACL at all, which lets everyone do everything
};

// A volume as GetDriveTypeA and GetVolumeInformationA describe it.
struct SimVolume {
    UINT driveType = DRIVE_FIXED;
    DWORD fileSystemFlags = FS_CASE_IS_PRESERVED | FS_PERSISTENT_ACLS;
    std::string fileSystem = "NTFS";
};

// What FindFirstFileA handed out and FindClose did not yet close.
struct SimOpenItem {
    std::string key;  // the item, as the disk's map names it
    DWORD access = 0;
    DWORD shareMode = 0;
    bool search = false;  // a FindFirstFileA handle
};

// Another user's program, declared by the test: just before the occurrence-th call of operation
// whose first string argument is argument, it replaces folder by a link to target, as anyone
// with the right to change the folder's parent can. It fails, changing nothing, while the folder
// or anything in it is held open against deletion.
struct SimLinkSwap {
    std::string operation;
    std::string argument;
    int occurrence = 1;
    std::string folder;
    std::string target;
    int seen = 0;
    bool refused = false;  // the folder was held when the swap was tried
    // A file put in the place of the file at folder instead (target empty): its bytes. Windows lets
    // no one rename or delete a file held open without delete sharing.
    std::string replacement;
    bool replacesFile = false;
};

#endif
