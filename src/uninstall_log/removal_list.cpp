// The removal list: its nodes, from the oldest entry to the newest.
#include "uninstall_log/removal_list.h"

#include "foundation/internal_error.h"
#include "foundation/memory.h"

int AddEntry(RemovalList* list, RemovalEntry* entry)
{
    // The entry knows its node, so an entry added twice is caught without walking the list:
    // a walk per entry would make loading a large log quadratic.
    if (entry->holder != NULL)
        InternalError(kModuleNumber, 664);

    RemovalNode* node = (RemovalNode*)AllocTagged(kModuleNumber, 665, sizeof(RemovalNode), 1);
    if (node == NULL)
        return 0;
    node->entry = entry;
    node->newer = NULL;
    node->older = list->newest;
    entry->holder = node;

    if (list->newest != NULL)
        list->newest->newer = node;
    list->newest = node;
    if (list->oldest == NULL)
        list->oldest = node;
    return 1;
}

void ClearRemovalList(RemovalList* list)
{
    for (RemovalNode* node = list->oldest; node != NULL; node = node->newer) {
        FreeIfSet(node->entry->path);
        FreeIfSet(node->entry);
    }
    RemovalNode* node = list->oldest;
    while (node != NULL) {
        RemovalNode* newer = node->newer;
        FreeIfSet(node);
        node = newer;
    }
    list->oldest = NULL;
    list->newest = NULL;
}
