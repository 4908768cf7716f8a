// Writes .res files and extended dialog templates field by field, little-endian, so a test states
// every byte it feeds to the resource reader.
#ifndef TESTS_HOST_SIM_UI_RESOURCE_BUILDER_H
#define TESTS_HOST_SIM_UI_RESOURCE_BUILDER_H

#include <stdint.h>

#include <string>
#include <vector>

class ResourceBuilder {
  public:
    ResourceBuilder& Byte(uint8_t value)
    {
        bytes_.push_back(value);
        return *this;
    }
    ResourceBuilder& Word(uint16_t value)
    {
        return Byte((uint8_t)(value & 0xFF)).Byte((uint8_t)(value >> 8));
    }
    ResourceBuilder& Dword(uint32_t value)
    {
        return Word((uint16_t)(value & 0xFFFF)).Word((uint16_t)(value >> 16));
    }
    // UTF-16 text and its terminating NUL.
    ResourceBuilder& Text(const std::string& text)
    {
        for (char c : text)
            Word((uint16_t)(unsigned char)c);
        return Word(0);
    }
    // 0xFFFF and an ordinal, as in sz_Or_Ord fields.
    ResourceBuilder& Ordinal(uint16_t ordinal) { return Word(0xFFFF).Word(ordinal); }
    // Zero bytes up to the next multiple of four from the start.
    ResourceBuilder& AlignToDword()
    {
        while (bytes_.size() % 4 != 0)
            Byte(0);
        return *this;
    }
    ResourceBuilder& Bytes(const std::vector<uint8_t>& bytes)
    {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Data() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

#endif
