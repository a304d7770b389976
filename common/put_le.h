// Little-endian byte writers: the builders of files (samples, seeds,
// benchmark inputs) and the tests' forged inputs append through these.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace put_le {

inline void U8(std::string& s, uint32_t v) { s.push_back(static_cast<char>(v & 0xFF)); }

inline void U16(std::string& s, uint32_t v)
{
    U8(s, v);
    U8(s, v >> 8);
}

inline void U32(std::string& s, uint32_t v)
{
    U16(s, v & 0xFFFF);
    U16(s, v >> 16);
}

inline void Float(std::string& s, float f)
{
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    U32(s, v);
}

}  // namespace put_le
