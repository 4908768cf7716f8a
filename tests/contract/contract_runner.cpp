// The one row runner, shared by the host test and contract.exe, and the notes rows write.
#include <stdarg.h>

#include "contract.h"

static void NoteArguments(Observation* seen, const char* format, va_list arguments)
{
    int written = vsnprintf(seen->text + seen->length, sizeof seen->text - seen->length, format,
                            arguments);
    if (written > 0)
        seen->length += (size_t)written;
    if (seen->length >= sizeof seen->text)
        seen->length = sizeof seen->text - 1;
}

void Note(Observation* seen, const char* format, ...)
{
    if (seen->length > 0 && seen->length + 1 < sizeof seen->text)
        seen->text[seen->length++] = ' ';
    va_list arguments;
    va_start(arguments, format);
    NoteArguments(seen, format, arguments);
    va_end(arguments);
}

void NoteMore(Observation* seen, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    NoteArguments(seen, format, arguments);
    va_end(arguments);
}

void NoteBytes(Observation* seen, const char* label, const char* bytes, size_t count)
{
    char text[600];
    size_t used = 0;
    for (size_t i = 0; i < count && used + 5 < sizeof text; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == 0)
            text[used++] = '|';
        else if (c == (unsigned char)kContractSentinel)
            text[used++] = '#';
        else if (c < 0x20 || c > 0x7E)
            used += (size_t)snprintf(text + used, sizeof text - used, "\\x%02X", c);
        else
            text[used++] = (char)c;
    }
    text[used] = '\0';
    Note(seen, "%s=%s", label, text);
}

size_t ContractRowCount(void)
{
    size_t system = 0, window = 0;
    SystemRows(&system);
    WindowRows(&window);
    return system + window;
}

const ContractRow& ContractRowAt(size_t index)
{
    size_t system = 0, window = 0;
    const ContractRow* systemRows = SystemRows(&system);
    const ContractRow* windowRows = WindowRows(&window);
    return index < system ? systemRows[index] : windowRows[index - system];
}

const char* RunContractRow(const ContractRow& row, Observation* seen)
{
    BeginRow();
    if (row.setup)
        row.setup();
    row.call(seen, row);
    EndRow();
    if (RunsUnderWow64() && row.expectedWin64)
        return row.expectedWin64;
    return RunsOnNtLine() || !row.expectedConsumer ? row.expectedNt : row.expectedConsumer;
}
