// Coverage-guided fuzzing of the log loader against the reference reader: same verdict, same
// entries, nothing leaked, nothing read out of bounds.
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "platform/sim/sim.h"
#include "reference_log_reader.h"
#include "uninstall_log/log_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // fmemopen refuses a buffer of 0 bytes; a copy of 1 byte opened for 0 reads as empty.
    std::vector<uint8_t> copy(data, data + size);
    copy.push_back(0);
    FILE* stream = fmemopen(copy.data(), size > 0 ? size : 1, "rb");
    if (stream == NULL)
        abort();
    if (size == 0)
        fgetc(stream);  // consume the placeholder byte so the stream is at its end

    RemovalList list = {NULL, NULL};
    int accepted = ParseUninstallLog(&list, stream);
    fclose(stream);

    std::vector<ReferenceEntry> expected;
    bool referenceAccepts = ReadReferenceLog(data, size, &expected);
    if ((accepted != 0) != referenceAccepts) {
        fprintf(stderr, "verdicts differ: loader %d, reference %d\n", accepted, referenceAccepts);
        abort();
    }
    if (accepted) {
        size_t i = 0;
        for (RemovalNode* node = list.oldest; node != NULL; node = node->newer, i++) {
            if (i >= expected.size() || node->entry->kind != expected[i].kind ||
                expected[i].path != node->entry->path) {
                fprintf(stderr, "entry %zu differs\n", i);
                abort();
            }
        }
        if (i != expected.size()) {
            fprintf(stderr, "loader has %zu entries, reference %zu\n", i, expected.size());
            abort();
        }
    }
    ClearRemovalList(&list);
    if (Machine().heap.liveBlocks != 0) {
        fprintf(stderr, "%ld blocks leaked\n", Machine().heap.liveBlocks);
        abort();
    }
    return 0;
}
