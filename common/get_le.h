// Values from the bytes of a file, whatever the host's byte order:
// little-endian, as most formats of the suite store them, and big-endian
// for GD2 files and the PNG data that icons may hold.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t GetLE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t GetLE32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// An IEEE 754 single, its bits taken as they are.
inline float GetLEFloat(const unsigned char* p)
{
    uint32_t bits = GetLE32(p);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

inline uint16_t GetBE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline uint32_t GetBE32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}
