// Writes uninstall logs field by field, so each test states exactly the bytes it feeds: the one
// C++ writer of log bytes for the host tests, the pxlog tests and the load benchmark.
#ifndef TESTS_HOST_SUPPORT_LOG_BUILDER_H
#define TESTS_HOST_SUPPORT_LOG_BUILDER_H

#include <stdint.h>

#include <string>

class LogBuilder {
  public:
    // A 32-bit number, least significant byte first.
    LogBuilder& Word(uint32_t value)
    {
        for (int i = 0; i < 4; i++)
            bytes_ += (char)((value >> (8 * i)) & 0xFF);
        return *this;
    }
    LogBuilder& Text(const std::string& text)
    {
        bytes_ += text;
        return *this;
    }
    // The usual header: magic, second word 0, the entry count.
    LogBuilder& Header(int32_t count)
    {
        return Word(0x5749AAE0u)     // magic
            .Word(0)                  // second header word
            .Word((uint32_t)count);   // entry count
    }
    // A well-formed entry: kind, path length, the path's bytes without NUL.
    LogBuilder& Entry(uint32_t kind, const std::string& path)
    {
        return Word(kind)                     // 0 file, 1 folder
            .Word((uint32_t)path.size())      // path length
            .Text(path);                      // path bytes
    }
    LogBuilder& File(const std::string& path) { return Entry(0, path); }
    LogBuilder& Folder(const std::string& path) { return Entry(1, path); }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

#endif
