// The C streams that read simulated files: each a copy of the file taken at open.
#include <errno.h>
#include <stdio.h>

#include <algorithm>
#include <vector>

#include "platform/sim/sim_disk_paths.h"

struct SimStream {
    std::string bytes;  // a copy taken at open: later changes of the file do not show
    size_t position = 0;
    FILE* file = nullptr;
    HANDLE handle = nullptr;  // the file handle behind the stream, in the process's table
    int descriptor = -1;      // what _fileno gives
};

static std::vector<SimStream*> g_streams;  // open streams, in the order they were opened

// The runtime's normal exit closes every stream still open, as msvcrt's does: a silent run's log,
// held to the process's end, among them.
static struct SimStreamsAtExit {
    ~SimStreamsAtExit() { SimCloseStreams(); }
} g_streamsAtExit;

static ssize_t ReadStream(void* cookie, char* buffer, size_t size)
{
    SimStream* stream = (SimStream*)cookie;
    size_t left = stream->bytes.size() - std::min(stream->position, stream->bytes.size());
    size_t count = std::min(size, left);
    memcpy(buffer, stream->bytes.data() + stream->position, count);
    stream->position += count;
    return (ssize_t)count;
}

static int SeekStream(void* cookie, off64_t* offset, int whence)
{
    SimStream* stream = (SimStream*)cookie;
    off64_t base = whence == SEEK_SET ? 0
                 : whence == SEEK_CUR ? (off64_t)stream->position
                                      : (off64_t)stream->bytes.size();
    if (base + *offset < 0) {
        errno = EINVAL;
        return -1;
    }
    stream->position = (size_t)(base + *offset);
    *offset = (off64_t)stream->position;
    return 0;
}

// Called by every fclose, the plain one included, so the open count cannot drift.
static int CloseStream(void* cookie)
{
    SimStream* stream = (SimStream*)cookie;
    g_streams.erase(std::remove(g_streams.begin(), g_streams.end(), stream), g_streams.end());
    --Machine().disk.openStreams;
    SimCloseObject(stream->handle);
    delete stream;
    return 0;
}

// The share modes msvcrt's _SH_ flags open a file with; the consumer line knows no delete sharing.
static DWORD ShareModeOf(int shflag)
{
    DWORD share = shflag == _SH_DENYWR ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (shflag != _SH_DENYWR && Machine().process.platformId == VER_PLATFORM_WIN32_NT)
        share |= FILE_SHARE_DELETE;
    return share;
}

FILE* _fsopen(const char* filename, const char* mode, int shflag)
{
    std::string path = filename ? filename : "";
    SimFaultKind kind = SimFaultError;
    bool fault = SimFaultHit("_fsopen", path.c_str(), &kind);
    if (fault && kind != SimFaultShortRead) {
        errno = ENOENT;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    // Streams of files that are there, read ("r") or read and held for writing ("r+"), which the
    // uninstaller never writes through.
    if (!mode || mode[0] != 'r' || (strchr(mode, '+') && mode[1] != '+' && strcmp(mode + 1, "b+") != 0)) {
        errno = EINVAL;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    DWORD access = strchr(mode, '+') ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    std::string key = CallKey(path);
    SimDiskItem* item = key.empty() ? nullptr : FindItem(key);
    // msvcrt opens with the access and the share mode; a handle held against it refuses, and the
    // system's error stays for GetLastError.
    DWORD share = ShareModeOf(shflag);
    bool conflict = item && !item->isFolder && SimHandlesConflict(key, access, share);
    if (!item || item->isFolder || conflict) {
        errno = item ? EACCES : ENOENT;
        Machine().process.lastError = conflict ? ERROR_SHARING_VIOLATION
                                      : item  ? ERROR_ACCESS_DENIED
                                      : key.empty() ? ERROR_PATH_NOT_FOUND
                                                    : MissingError(key);
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    SimStream* stream = new SimStream();
    stream->bytes = item->data;
    if (fault)  // SimFaultShortRead: the stream ends halfway through the file
        stream->bytes.resize(stream->bytes.size() / 2);
    cookie_io_functions_t functions = {ReadStream, nullptr, SeekStream, CloseStream};
    stream->file = fopencookie(stream, "rb", functions);
    if (!stream->file) {
        delete stream;
        SimRecordCall("_fsopen", path, 0);
        return nullptr;
    }
    static int nextDescriptor = 3;  // 0 to 2 are the standard streams'
    // msvcrt opens a stream's handle inheritable unless the mode says "N".
    stream->handle = SimOpenFileHandle(key, access, share);
    Machine().objects.handles[(ULONG_PTR)stream->handle].inheritable = true;
    stream->descriptor = nextDescriptor++;
    g_streams.push_back(stream);
    ++Machine().disk.openStreams;
    SimRecordCall("_fsopen", path, 1);
    return stream->file;
}

int _fileno(FILE* file)
{
    for (const SimStream* stream : g_streams) {
        if (stream->file == file)
            return stream->descriptor;
    }
    errno = EBADF;
    return -1;
}

intptr_t _get_osfhandle(int fd)
{
    for (const SimStream* stream : g_streams) {
        if (stream->descriptor == fd)
            return (intptr_t)stream->handle;
    }
    errno = EBADF;
    return (intptr_t)INVALID_HANDLE_VALUE;
}

int _fcloseall(void)
{
    if (SimFaultHit("_fcloseall", "", nullptr)) {
        SimRecordCall("_fcloseall", "", EOF);
        return EOF;
    }
    int closed = (int)g_streams.size();
    SimCloseStreams();
    SimRecordCall("_fcloseall", "", closed);
    return closed;
}

void SimCloseStreams()
{
    while (!g_streams.empty())
        fclose(g_streams.back()->file);
}
