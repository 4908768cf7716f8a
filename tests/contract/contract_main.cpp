// contract.exe: runs every contract row on the real Win32 API of the system it runs on and
// prints one line per row; the exit code is 1 when any row disagrees.
#include "contract.h"

int main(void)
{
    unsigned passed = 0, failed = 0;
    for (size_t i = 0; i < ContractRowCount(); ++i) {
        const ContractRow& row = ContractRowAt(i);
        Observation seen = {};
        const char* expected = RunContractRow(row, &seen);
        if (strcmp(seen.text, expected) == 0) {
            printf("PASS %s\n", row.name);
            ++passed;
        } else {
            printf("FAIL %s: expected %s, observed %s\n", row.name, expected, seen.text);
            ++failed;
        }
    }
    printf("%u passed, %u failed\n", passed, failed);
    fflush(stdout);
    return failed == 0 ? 0 : 1;
}
