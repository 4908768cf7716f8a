// The simulated shell: its task allocator and the item lists of the two Programs folders.
#include <stdio.h>
#include <stdlib.h>

#include <set>

#include "platform/sim/sim_internal.h"

// An item list as this shell hands it out: it only remembers which folder it names.
struct SimItemList {
    int csidl;
};

static std::set<void*> g_itemLists;  // item lists handed out and not yet freed
static std::set<void*> g_blocks;     // blocks from IMalloc::Alloc not yet freed

class SimShellAllocator : public IMalloc {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(const void* riid, void** object) override
    {
        (void)riid;  // the allocator is asked for nothing but itself
        *object = this;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ULONG refs = (ULONG)++Machine().shell.allocatorRefs;
        SimRecordCall("IMalloc::AddRef", "", refs);
        return refs;
    }

    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG refs = (ULONG)--Machine().shell.allocatorRefs;
        SimRecordCall("IMalloc::Release", "", refs);
        return refs;
    }

    void* STDMETHODCALLTYPE Alloc(SIZE_T size) override
    {
        void* block = malloc(size ? size : 1);
        g_blocks.insert(block);
        SimRecordCall("IMalloc::Alloc", "", block != nullptr);
        return block;
    }

    void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override
    {
        if (block && !g_blocks.count(block)) {
            ++Machine().shell.foreignFrees;
            SimRecordCall("IMalloc::Realloc", "", 0);
            return nullptr;
        }
        g_blocks.erase(block);
        void* grown = realloc(block, size ? size : 1);
        g_blocks.insert(grown);
        SimRecordCall("IMalloc::Realloc", "", grown != nullptr);
        return grown;
    }

    void STDMETHODCALLTYPE Free(void* block) override
    {
        // Freeing NULL is allowed; a block the allocator never gave out would corrupt the heap
        // on Windows, so here it is counted for the test to see.
        int result = 1;
        if (!block) {
        } else if (g_itemLists.erase(block)) {
            delete (SimItemList*)block;
            --Machine().shell.itemListsLive;
        } else if (g_blocks.erase(block)) {
            free(block);
        } else {
            ++Machine().shell.foreignFrees;
            result = 0;
        }
        SimRecordCall("IMalloc::Free", "", result);
    }

    SIZE_T STDMETHODCALLTYPE GetSize(void* block) override
    {
        if (g_itemLists.count(block))
            return sizeof(SimItemList);
        return (SIZE_T)-1;  // the size of a foreign block cannot be told
    }

    int STDMETHODCALLTYPE DidAlloc(void* block) override
    {
        return g_itemLists.count(block) || g_blocks.count(block) ? 1 : 0;
    }

    void STDMETHODCALLTYPE HeapMinimize() override {}
};

static SimShellAllocator g_allocator;

HRESULT WINAPI SHGetMalloc(LPMALLOC* ppMalloc)
{
    if (SimFaultHit("SHGetMalloc", "", nullptr) || !ppMalloc) {
        if (ppMalloc)
            *ppMalloc = nullptr;
        SimRecordCall("SHGetMalloc", "", E_FAIL);
        return E_FAIL;
    }
    ++Machine().shell.allocatorRefs;
    *ppMalloc = &g_allocator;
    SimRecordCall("SHGetMalloc", "", S_OK);
    return S_OK;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, LPITEMIDLIST* ppidl)
{
    (void)hwnd;  // no dialog can come up: the folders always exist here
    std::string argument = std::to_string(csidl);
    HRESULT result = S_OK;
    if (SimFaultHit("SHGetSpecialFolderLocation", argument.c_str(), nullptr))
        result = E_FAIL;
    else if (csidl != CSIDL_PROGRAMS && csidl != CSIDL_COMMON_PROGRAMS)
        result = E_INVALIDARG;
    if (result != S_OK) {
        if (ppidl)
            *ppidl = nullptr;
        SimRecordCall("SHGetSpecialFolderLocation", argument, result);
        return result;
    }
    // shell32 of Windows 2000 on finds the user's folders through the profile, in userenv.
    const SimProcess& process = Machine().process;
    if (process.platformId == VER_PLATFORM_WIN32_NT && process.majorVersion >= 5)
        SimSystemLoadsByName("userenv.dll");
    SimItemList* list = new SimItemList{csidl};
    g_itemLists.insert(list);
    ++Machine().shell.itemListsLive;
    *ppidl = (LPITEMIDLIST)list;
    SimRecordCall("SHGetSpecialFolderLocation", argument, S_OK);
    return S_OK;
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath)
{
    void* block = (void*)pidl;
    bool fault = SimFaultHit("SHGetPathFromIDListA", "", nullptr);
    if (fault || !pszPath || !g_itemLists.count(block)) {
        if (pszPath)
            pszPath[0] = '\0';
        SimRecordCall("SHGetPathFromIDListA", "", FALSE);
        return FALSE;
    }
    const SimShell& shell = Machine().shell;
    const std::string& folder = ((SimItemList*)block)->csidl == CSIDL_PROGRAMS
                                    ? shell.programsFolder
                                    : shell.commonProgramsFolder;
    // The caller's buffer holds MAX_PATH characters; a longer folder has no path to give.
    if (folder.size() >= (size_t)MAX_PATH) {
        pszPath[0] = '\0';
        SimRecordCall("SHGetPathFromIDListA", "", FALSE);
        return FALSE;
    }
    memcpy(pszPath, folder.c_str(), folder.size() + 1);
    SimRecordCall("SHGetPathFromIDListA", "", TRUE);
    return TRUE;
}

void SimReleaseItemLists()
{
    for (void* list : g_itemLists)
        delete (SimItemList*)list;
    g_itemLists.clear();
    for (void* block : g_blocks)
        free(block);
    g_blocks.clear();
}
