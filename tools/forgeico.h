// Builds icon files from pictures described in code: each image's pixels as
// palette indexes or colours, and its mask; bottom-up rows and row padding
// are done here. Used by the sample generator, the tests and the benchmarks.
#pragma once

#include <zlib.h>

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
    uint32_t coloursUsed = 0;  // below 2^bits: only that many palette entries are stored
    std::vector<uint32_t> bitFields;  // 16 bits: red, green, blue masks after the header
};

// A PNG chunk: big-endian length, type, data, and the CRC-32 of type and
// data (plus flip, to spoil it).
inline std::string PngChunk(const std::string& type, const std::string& data, uint32_t flip = 0)
{
    std::string body = type + data;
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())) ^ flip;
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    return be32(static_cast<uint32_t>(data.size())) + body + be32(crc);
}

// A PNG stream: signature, IHDR, the chunks in rest, IEND.
inline std::string PngData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType,
                           const std::string& rest = "")
{
    std::string ihdr;
    for (uint32_t v : {width, height})
        ihdr += std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                            static_cast<char>(v)};
    ihdr += std::string{static_cast<char>(depth), static_cast<char>(colourType), 0, 0, 0};
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + rest + PngChunk("IEND", "");
}

// The bit of a 1-bit row at x, leftmost pixel in the high bit.
inline void SetBit(std::string& row, int x) { row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8))); }

// Rows of one bit a pixel, stride bytes each, in the order given by
// rowOrder (the stored row r shows picture row rowOrder(r)).
inline std::string BitRows(int width, int height, size_t stride, const std::function<bool(int, int)>& bit,
                           const std::function<int(int)>& rowOrder)
{
    std::string b;
    for (int r = 0; r < height; r++) {
        std::string row(stride, '\0');
        for (int x = 0; x < width; x++)
            if (bit(x, rowOrder(r)))
                SetBit(row, x);
        b += row;
    }
    return b;
}

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
    U32(b, p.bitFields.empty() ? 0 : 3);
    U32(b, static_cast<uint32_t>(p.imageSize));
    for (int i = 0; i < 2; i++)
        U32(b, 0);
    U32(b, p.coloursUsed);
    U32(b, 0);
    if (p.headerSize > 40)
        b.append(p.headerSize - 40, static_cast<char>(0xEE));
    for (uint32_t mask : p.bitFields)
        U32(b, mask);
    if (p.bits <= 8) {
        size_t stored = p.coloursUsed > 0 && p.coloursUsed < (1u << p.bits) ? p.coloursUsed : 1u << p.bits;
        for (size_t i = 0; i < stored; i++) {
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
            } else if (p.bits == 16) {
                row[2 * x] = static_cast<char>(v & 0xFF);
                row[2 * x + 1] = static_cast<char>(v >> 8);
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
    return b + BitRows(p.width, p.height, maskStride, p.masked, [&](int r) { return p.height - 1 - r; });
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

// An OS/2 icon or pointer: type "IC" or "PT" (p 1 bit deep, its pixels the
// XOR bits) or "CI" or "CP" (a mask pair of XOR 0, then p's own bitmap), with
// 12-byte info headers or OS/2 2.x ones of infoSize bytes (16 to 64),
// placed as if it began at position base of its file.
struct Os2Image {
    std::string type;
    IconPicture picture;
    uint32_t infoSize = 12;
    uint16_t hotspotX = 0, hotspotY = 0;
};

inline std::string Os2Bitmap(const Os2Image& image, uint32_t base)
{
    using namespace put_le;
    const IconPicture& p = image.picture;
    const bool colour = image.type == "CI" || image.type == "CP";
    const uint32_t entrySize = image.infoSize == 12 ? 3 : 4;
    // Headers: the mask pair's, then for colour the picture's.
    auto header = [&](int bits, int height, size_t entries, uint32_t bitsAt) {
        std::string h = image.type;
        U32(h, 14 + image.infoSize);
        U16(h, image.hotspotX);
        U16(h, image.hotspotY);
        U32(h, bitsAt);
        U32(h, image.infoSize);
        if (image.infoSize == 12) {
            U16(h, static_cast<uint32_t>(p.width));
            U16(h, static_cast<uint32_t>(height));
            U16(h, 1);
            U16(h, static_cast<uint32_t>(bits));
        } else {
            U32(h, static_cast<uint32_t>(p.width));
            U32(h, static_cast<uint32_t>(height));
            U16(h, 1);
            U16(h, static_cast<uint32_t>(bits));
            h.append(image.infoSize - 16, '\0');
        }
        for (size_t i = 0; i < entries; i++) {
            Rgba c = i < p.palette.size() ? p.palette[i] : Rgba{0, 0, 0, 0};
            U8(h, c.b);
            U8(h, c.g);
            U8(h, c.r);
            if (entrySize == 4)
                U8(h, 0);
        }
        return h;
    };
    const size_t monoStride = (static_cast<size_t>(p.width) + 31) / 32 * 4;
    auto bottomUp = [&](int r) { return p.height - 1 - r; };
    auto xorBits = [&](int x, int y) { return !colour && p.pixel(x, y) != 0; };
    std::string pair = BitRows(p.width, p.height, monoStride, xorBits, bottomUp) +
                       BitRows(p.width, p.height, monoStride, p.masked, bottomUp);
    const size_t headersSize = (14 + image.infoSize + 2 * entrySize) +
                               (colour ? 14 + image.infoSize + (p.bits <= 8 ? (1u << p.bits) * entrySize : 0) : 0);
    const uint32_t pairAt = base + static_cast<uint32_t>(headersSize);
    std::string b = header(1, 2 * p.height, 2, pairAt);
    if (!colour)
        return b + pair;
    IconPicture body = p;
    body.masked = [](int, int) { return false; };
    std::string rows = BitmapData(body);
    // The colour rows of an ICO bitmap, without its header, palette and mask.
    const size_t stride = (static_cast<size_t>(p.width) * p.bits + 31) / 32 * 4;
    rows = rows.substr(rows.size() - monoStride * p.height - stride * p.height, stride * p.height);
    b += header(p.bits, p.height, p.bits <= 8 ? 1u << p.bits : 0, pairAt + static_cast<uint32_t>(pair.size()));
    return b + pair + rows;
}

// A bitmap array of the images, each element naming the next.
inline std::string Os2Array(const std::vector<Os2Image>& images)
{
    using namespace put_le;
    std::string b;
    for (size_t i = 0; i < images.size(); i++) {
        const uint32_t at = static_cast<uint32_t>(b.size());
        std::string body = Os2Bitmap(images[i], at + 14);
        std::string head = "BA";
        U32(head, 40);
        U32(head, i + 1 < images.size() ? at + 14 + static_cast<uint32_t>(body.size()) : 0);
        U16(head, 1024);
        U16(head, 768);
        b += head + body;
    }
    return b;
}

// A Windows 1.x icon (type 1) or cursor (3) of one 1-bit picture (XOR bits
// from its pixels, AND bits from its mask), rows top row first and padded
// to 2 bytes; format 2 holds it twice.
inline std::string Win1File(const IconPicture& p, uint8_t type = 1, uint8_t format = 0, uint16_t hotspotX = 0,
                            uint16_t hotspotY = 0)
{
    using namespace put_le;
    const size_t stride = (static_cast<size_t>(p.width) + 15) / 16 * 2;
    auto topDown = [](int r) { return r; };
    std::string one;
    U16(one, hotspotX);
    U16(one, hotspotY);
    U16(one, static_cast<uint32_t>(p.width));
    U16(one, static_cast<uint32_t>(p.height));
    U16(one, static_cast<uint32_t>(stride));
    U16(one, 0);
    one += BitRows(p.width, p.height, stride, p.masked, topDown);
    one += BitRows(
        p.width, p.height, stride, [&](int x, int y) { return p.pixel(x, y) != 0; }, topDown);
    std::string b;
    U8(b, type);
    U8(b, format);
    return b + one + (format == 2 ? one : "");
}
