// pxlog: the command-line tool for the people who ship the application, to make, show, check
// and plan uninstall logs.
#include <exception>
#include <new>

#include "commands.h"

int main(int argc, char** argv)
{
    Streams streams = {stdin, stdout, stderr};
    // The code reports failures by result; what can still throw is running out of memory on a
    // huge tree, or a local name the C runtime cannot convert. A message beats an abort.
    try {
        return RunPxlog(argc, argv, streams);
    } catch (const std::bad_alloc&) {
        fputs("pxlog: out of memory\n", stderr);
    } catch (const std::exception& failure) {
        fprintf(stderr, "pxlog: %s\n", failure.what());
    }
    return kExitRefused;
}
