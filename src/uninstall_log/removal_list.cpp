// The removal list and the removal pass over it.
#include "uninstall_log/removal_list.h"

#include "foundation/internal_error.h"
#include "foundation/memory.h"
#include "foundation/paths.h"
#include "platform/platform.h"

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

void RunRemovalPass(RemovalList* list, ProgressCallback callback)
{
    unsigned int count = 0;
    for (RemovalNode* node = list->oldest; node != NULL; node = node->newer)
        count++;
    double denominator = count > 0 ? (double)count : 1.0;

    // Newest first: a folder logged before its files comes after them here, when it is empty.
    // Failed deletions are left as they are; the pass neither reports nor retries them.
    // A path that is not a full path would resolve against the working folder, which is the
    // Windows or system folder when the list of installed programs starts us: it is left alone.
    unsigned int position = 0;
    for (RemovalNode* node = list->newest; node != NULL; node = node->older) {
        RemovalEntry* entry = node->entry;
        if (IsFullPath(entry->path)) {
            if (entry->kind == EntryKindFile)
                DeleteFileA(entry->path);
            else if (entry->kind == EntryKindDirectory)
                RemoveDirectoryA(entry->path);
        }
        if (callback != NULL)
            callback(entry->path, (double)position / denominator);
        position++;
    }
    ClearRemovalList(list);
}
