// The entries of the uninstall log in memory, and the pass that removes them newest first.
#ifndef UNINSTALL_LOG_REMOVAL_LIST_H
#define UNINSTALL_LOG_REMOVAL_LIST_H

#include <stdint.h>

#include "foundation/fixed_names.h"

// EntryKindFile or EntryKindDirectory.
typedef uint32_t EntryKind;

struct RemovalNode;

// One entry of the uninstall log; once added, the list owns it and its path.
struct RemovalEntry {
    EntryKind kind;
    char* path;            // 1 to 259 characters and a NUL, in a block of this entry's own
    RemovalNode* holder;   // the node that holds this entry, or null while it is in no list
};

// One link of the list, from the oldest entry to the newest.
struct RemovalNode {
    RemovalNode* older;   // the node added just before, or null for the oldest
    RemovalNode* newer;   // the node added just after, or null for the newest
    RemovalEntry* entry;
};

// Both ends are null when the list is empty. The list keeps no count: it counts by walking.
struct RemovalList {
    RemovalNode* oldest;
    RemovalNode* newest;
};

// Receives the name just handled (lent for the call, or null) and the part of the work done.
typedef void (*ProgressCallback)(const char* name, double fraction);

// Appends the entry at the newest end. 1 when added; 0 when no node could be allocated, and the
// caller still owns the entry. An entry already held by a list is an internal error.
int AddEntry(RemovalList* list, RemovalEntry* entry);

// Releases every entry with its path and every node; the list is empty afterwards.
void ClearRemovalList(RemovalList* list);

// Deletes every listed file and folder, newest first, reporting each to the callback (which
// may be null), and leaves the list empty. Failed deletions are neither reported nor retried.
void RunRemovalPass(RemovalList* list, ProgressCallback callback);

#endif
