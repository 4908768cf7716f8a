// Holds a file open as a running program holds its own: reading and writing shared, deletion not.
// The rows start it before the uninstaller, wait for "held" on its output, and end it by its id.
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: pxhold PATH\n", stderr);
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "pxhold: %s: error %lu\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
    puts("held");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
