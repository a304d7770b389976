// GD2 files built in the tests and the fuzzing seeds: header, chunk index,
// colours and pixels, chunk by chunk, raw or through zlib.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace forgegd2 {

struct Picture {
    int width = 8, height = 8, chunk = 64, format = 2, version = 2;
    int colours = 4;  // palette formats
    int32_t transparent = -1;
    std::function<uint32_t(int, int)> pixel = [](int x, int y) { return static_cast<uint32_t>(x + y) % 4; };
    // Palette entry i: red, green, blue, gd alpha.
    std::function<std::array<uint8_t, 4>(int)> entry = [](int i) {
        return std::array<uint8_t, 4>{static_cast<uint8_t>(i * 50), static_cast<uint8_t>(255 - i), 7, 0};
    };
};

// A picture of the given format and version, 70 x 65 by default, so that
// chunks of 64 are cut at both edges; true colour with every alpha.
inline Picture Sample(int format, int version = 2, int width = 70, int height = 65)
{
    Picture p;
    p.format = format, p.version = version, p.width = width, p.height = height;
    if (format >= 3)
        p.pixel = [](int x, int y) { return static_cast<uint32_t>((x + y) % 128) << 24 | x << 16 | y << 8 | (x ^ y); };
    return p;
}

inline void Put16(std::string& b, uint32_t v) { b += static_cast<char>(v >> 8), b += static_cast<char>(v); }
inline void Put32(std::string& b, uint32_t v) { Put16(b, v >> 16), Put16(b, v & 0xFFFF); }

inline std::string File(const Picture& p)
{
    const bool trueColour = p.format >= 3, compressed = p.format == 2 || p.format == 4;
    const int across = (p.width + p.chunk - 1) / p.chunk, down = (p.height + p.chunk - 1) / p.chunk;
    std::vector<std::string> chunks;
    for (int cy = 0; cy < down; cy++) {
        for (int cx = 0; cx < across; cx++) {
            std::string bytes;
            for (int y = cy * p.chunk; y < std::min(p.height, (cy + 1) * p.chunk); y++)
                for (int x = cx * p.chunk; x < std::min(p.width, (cx + 1) * p.chunk); x++)
                    trueColour ? Put32(bytes, p.pixel(x, y)) : void(bytes += static_cast<char>(p.pixel(x, y)));
            if (compressed) {
                uLongf size = compressBound(bytes.size());
                std::string packed(size, '\0');
                compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                         bytes.size());
                bytes = packed.substr(0, size);
            }
            chunks.push_back(bytes);
        }
    }
    std::string b = std::string("gd2\0", 4);
    for (int v : {p.version, p.width, p.height, p.chunk, p.format, across, down})
        Put16(b, static_cast<uint32_t>(v));
    std::string colours;
    if (p.version == 2) {
        colours += static_cast<char>(trueColour);
        if (!trueColour)
            Put16(colours, static_cast<uint32_t>(p.colours));
        Put32(colours, static_cast<uint32_t>(p.transparent));
    } else {
        colours += static_cast<char>(p.colours);
        Put16(colours, p.transparent < 0 ? 257 : static_cast<uint32_t>(p.transparent));
    }
    for (int i = 0; !trueColour && i < 256; i++)
        for (int k = 0; k < (p.version == 2 ? 4 : 3); k++)
            colours += static_cast<char>(p.entry(i)[k]);
    size_t offset = b.size() + (compressed ? 8 * chunks.size() : 0) + colours.size();
    for (size_t i = 0; compressed && i < chunks.size(); offset += chunks[i].size(), i++)
        Put32(b, static_cast<uint32_t>(offset)), Put32(b, static_cast<uint32_t>(chunks[i].size()));
    b += colours;
    for (const std::string& c : chunks)
        b += c;
    return b;
}

}  // namespace forgegd2
