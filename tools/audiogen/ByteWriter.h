#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace audiogen {

// Little-endian byte sink for the file writers.
class ByteWriter {
  public:
    void U8(uint8_t v) { Bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void Text(const std::string& s) { Bytes.insert(Bytes.end(), s.begin(), s.end()); }
    // Writes s cut or zero-padded to exactly size bytes.
    void Fixed(const std::string& s, size_t size) {
        for (size_t i = 0; i < size; ++i)
            U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void Append(const std::vector<uint8_t>& bytes) { Bytes.insert(Bytes.end(), bytes.begin(), bytes.end()); }
    void Zeros(size_t count) { Bytes.insert(Bytes.end(), count, 0); }
    size_t Size() const { return Bytes.size(); }
    void PatchU16(size_t at, uint16_t v) {
        Bytes[at] = static_cast<uint8_t>(v);
        Bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    std::vector<uint8_t> Take() { return std::move(Bytes); }

  private:
    std::vector<uint8_t> Bytes;
};

} // namespace audiogen
