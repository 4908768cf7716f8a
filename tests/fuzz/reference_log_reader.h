// A deliberately simple second reader of the uninstall log, written from the format alone, to
// judge the uninstaller's loader: where the two disagree, one of them is wrong.
#ifndef TESTS_FUZZ_REFERENCE_LOG_READER_H
#define TESTS_FUZZ_REFERENCE_LOG_READER_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct ReferenceEntry {
    uint32_t kind;
    std::string path;  // up to the first NUL of the path bytes
};

// True when the log is accepted; entries then holds exactly its entries in file order.
inline bool ReadReferenceLog(const uint8_t* data, size_t size, std::vector<ReferenceEntry>* entries)
{
    entries->clear();
    size_t at = 0;
    auto word = [&](uint32_t* value) {
        if (size - at < 4)
            return false;
        *value = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | ((uint32_t)data[at + 3] << 24);
        at += 4;
        return true;
    };
    uint32_t magic, second, count;
    if (!word(&magic) || magic != 0x5749AAE0u || !word(&second) || second != 0 || !word(&count))
        return false;
    for (int32_t i = 0; i < (int32_t)count; i++) {
        uint32_t kind, length;
        if (!word(&kind) || kind >= 2 || !word(&length))
            return false;
        if ((int32_t)length < 1 || (int32_t)length > 259 || size - at < length)
            return false;
        std::string path((const char*)data + at, length);
        entries->push_back({kind, path.substr(0, path.find('\0'))});
        at += length;
    }
    return true;
}

#endif
