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

// What a removal pass left of the log's entries. An entry already gone counts in neither.
struct RemovalOutcome {
    // Entries the pass was allowed to remove that are still there: a file in use or refused, a
    // folder refused for another reason than holding something (the user's files, the uninstaller).
    unsigned int stillThere;
    // Entries it would not follow: through a link below the installation folder, a folder entry
    // that is itself a link, or outside the folder of a log others could have changed (but the
    // folders above the installation folder, which only its removal could empty).
    unsigned int notFollowed;
};

// Deletes every listed file and folder, newest first, reporting each to the callback (which
// may be null), and leaves the list empty. Failed deletions are not retried; what stays is
// counted in the outcome.
RemovalOutcome RunRemovalPass(RemovalList* list, ProgressCallback callback);

#endif
