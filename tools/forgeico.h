// Builds icon files from pictures described in code: each image's pixels as
// palette indexes or colours, and its mask; bottom-up rows and row padding
// are done here. Used by the sample generator, the tests and the benchmarks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "put_le.h"

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

struct IconPicture {
    int width = 0, height = 0, bits = 0;
    std::vector<Rgba> palette;  // for 1 to 8 bits
    std::function<uint32_t(int x, int y)> pixel;  // index, or 0xAARRGGBB above 8 bits
    std::function<bool(int x, int y)> masked = [](int, int) { return false; };
    int32_t imageSize = 0;  // the header's size field
    uint32_t headerSize = 40;  // larger: extra header bytes follow
};

// The bitmap data of one image: header, palette, colour rows, mask rows.
inline std::string BitmapData(const IconPicture& p)
{
    using namespace put_le;
    std::string b;
    U32(b, p.headerSize);
    U32(b, static_cast<uint32_t>(p.width));
    U32(b, static_cast<uint32_t>(p.height * 2));
    U16(b, 1);
    U16(b, static_cast<uint32_t>(p.bits));
    U32(b, 0);
    U32(b, static_cast<uint32_t>(p.imageSize));
    for (int i = 0; i < 4; i++)
        U32(b, 0);
    if (p.headerSize > 40)
        b.append(p.headerSize - 40, static_cast<char>(0xEE));
    if (p.bits <= 8) {
        for (size_t i = 0; i < (1u << p.bits); i++) {
            Rgba c = i < p.palette.size() ? p.palette[i] : Rgba{0, 0, 0, 0};
            U8(b, c.b);
            U8(b, c.g);
            U8(b, c.r);
            U8(b, 0x55);
        }
    }
    size_t stride = (static_cast<size_t>(p.width) * p.bits + 31) / 32 * 4;
    for (int y = p.height - 1; y >= 0; y--) {
        std::string row(stride, '\0');
        for (int x = 0; x < p.width; x++) {
            uint32_t v = p.pixel(x, y);
            if (p.bits <= 8) {
                size_t bit = static_cast<size_t>(x) * p.bits;
                row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - p.bits - bit % 8)));
            } else {
                size_t at = static_cast<size_t>(x) * (p.bits / 8);
                row[at] = static_cast<char>(v & 0xFF);
                row[at + 1] = static_cast<char>((v >> 8) & 0xFF);
                row[at + 2] = static_cast<char>((v >> 16) & 0xFF);
                if (p.bits == 32)
                    row[at + 3] = static_cast<char>(v >> 24);
            }
        }
        b += row;
    }
    size_t maskStride = (static_cast<size_t>(p.width) + 31) / 32 * 4;
    for (int y = p.height - 1; y >= 0; y--) {
        std::string row(maskStride, '\0');
        for (int x = 0; x < p.width; x++)
            if (p.masked(x, y))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        b += row;
    }
    return b;
}

// An icon file (type 1, or 2 for a cursor) holding the given image data
// blocks, one directory entry each.
inline std::string IconFile(const std::vector<std::string>& images, uint16_t type = 1)
{
    using namespace put_le;
    std::string b;
    U16(b, 0);
    U16(b, type);
    U16(b, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const std::string& data : images) {
        U32(b, 0);  // width, height, colour count, reserved: not consulted
        U16(b, 1);
        U16(b, 32);
        U32(b, static_cast<uint32_t>(data.size()));
        U32(b, offset);
        offset += static_cast<uint32_t>(data.size());
    }
    for (const std::string& data : images)
        b += data;
    return b;
}
