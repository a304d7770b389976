// GD2 files, big-endian:
//   header    "gd2\0"; u16 version, 1 or 2; i16 width, i16 height (1 up);
//             u16 chunk size, 64 to 4096 pixels a side; u16 format: 1
//             palette raw, 2 palette compressed, 3 true-colour raw, 4
//             true-colour compressed; i16 chunks across, i16 chunks down
//             (1 up)
//   index     compressed formats only: per chunk, row by row, i32 offset of
//             its zlib stream from the start of the file, i32 its size
//   colours   version 2: u8 true-colour flag (it must match the format),
//             for a palette u16 colour count (up to 256), then i32
//             transparent (a palette index, or for true colour a colour;
//             -1 none). Version 1: u8 colour count, u16 transparent (257
//             none). Palette formats then hold 256 entries of u8 red, green,
//             blue and, in version 2, alpha (gd's 0 opaque to 127 clear).
//   pixels    chunk by chunk, row by row inside each, the chunks of the
//             last column and row cut at the image's edge; 1 byte a pixel
//             (a palette index) or 4 (alpha, red, green, blue). Raw formats
//             store them one after another after the colours; compressed
//             formats hold each chunk's bytes as its zlib stream.
// Chunks beyond the image's edge hold no pixel and are not read; pixels
// that no chunk covers stay 0. A true-colour image's transparent colour
// marks its pixels of that red, green and blue fully clear. A transparent palette index beyond the
// colour count is ignored, and a pixel's index beyond it takes its colour
// from the stored table of 256.
#include "gd2.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "get_le.h"
#include "pixel_budget.h"

enum : size_t { kHeaderSize = 18, kIndexEntrySize = 8, kPaletteSize = 256 };
enum { kMinChunk = 64, kMaxChunk = 4096, kNoTransparent1 = 257 };
enum { kPaletteRaw = 1, kPaletteCompressed = 2, kTrueColourRaw = 3, kTrueColourCompressed = 4 };
// Deflate cannot make one byte into more than 1032: a chunk's stream of n
// bytes holds at most 1032 n bytes of pixels.
enum : uint64_t { kMaxDeflateRatio = 1032 };

namespace {

struct gd2_header {
    int version, width, height, chunk, format, across, down;
    bool true_colour, compressed;
};

// The file and the position of the next unread byte.
struct byte_reader {
    const unsigned char* data;
    size_t size, at;
    bool has(uint64_t n) const { return at <= size && n <= size - at; }
};

const char* read_header(byte_reader* in, gd2_header* h)
{
    if (!in->has(kHeaderSize) || memcmp(in->data, kGd2Signature, sizeof kGd2Signature) != 0)
        return "not a GD2 file";
    const unsigned char* p = in->data;
    h->version = GetBE16(p + 4);
    h->width = static_cast<int16_t>(GetBE16(p + 6));
    h->height = static_cast<int16_t>(GetBE16(p + 8));
    h->chunk = GetBE16(p + 10);
    h->format = GetBE16(p + 12);
    h->across = static_cast<int16_t>(GetBE16(p + 14));
    h->down = static_cast<int16_t>(GetBE16(p + 16));
    in->at = kHeaderSize;
    if (h->version != 1 && h->version != 2)
        return "unknown GD2 version";
    if (h->width < 1 || h->height < 1 || static_cast<long>(h->width) * h->height > kMaxGd2Pixels)
        return "image size out of range";
    if (h->chunk < kMinChunk || h->chunk > kMaxChunk)
        return "chunk size out of range";
    if (h->format < kPaletteRaw || h->format > kTrueColourCompressed)
        return "unknown GD2 format";
    if (h->across < 1 || h->down < 1)
        return "chunk counts out of range";
    h->true_colour = h->format == kTrueColourRaw || h->format == kTrueColourCompressed;
    h->compressed = h->format == kPaletteCompressed || h->format == kTrueColourCompressed;
    return nullptr;
}

// The pixels of chunk (cx, cy) as the range [x0, x1) x [y0, y1): empty for a
// chunk beyond the image's edge.
struct pixel_span {
    int x0, x1, y0, y1;
    long pixels() const { return x1 > x0 && y1 > y0 ? static_cast<long>(x1 - x0) * (y1 - y0) : 0; }
};

pixel_span chunk_span(const gd2_header& h, int cx, int cy)
{
    long x0 = static_cast<long>(cx) * h.chunk, y0 = static_cast<long>(cy) * h.chunk;
    pixel_span s = {h.width, h.width, h.height, h.height};
    if (x0 < h.width && y0 < h.height)
        s = {static_cast<int>(x0), static_cast<int>(x0 + h.chunk < h.width ? x0 + h.chunk : h.width),
             static_cast<int>(y0), static_cast<int>(y0 + h.chunk < h.height ? y0 + h.chunk : h.height)};
    return s;
}

// The chunks across and down that hold pixels: the others are never read.
int used_chunks(int chunks, int pixels, int chunk)
{
    return chunks < (pixels + chunk - 1) / chunk ? chunks : (pixels + chunk - 1) / chunk;
}
int used_across(const gd2_header& h) { return used_chunks(h.across, h.width, h.chunk); }
int used_down(const gd2_header& h) { return used_chunks(h.down, h.height, h.chunk); }

// Checks the chunk index: no entry is negative, and the stream of each
// chunk that holds pixels lies inside the file and can hold them. Leaves
// in->at after the index.
const char* check_index(byte_reader* in, const gd2_header& h, int bytes_per_pixel)
{
    uint64_t entries = static_cast<uint64_t>(h.across) * static_cast<uint64_t>(h.down);
    if (!in->has(entries * kIndexEntrySize))
        return "the chunk index runs past the end of the file";
    const unsigned char* index = in->data + in->at;
    in->at += entries * kIndexEntrySize;
    // No entry may be negative, used or not.
    for (uint64_t i = 0; i < entries; i++)
        if ((GetBE32(index + i * kIndexEntrySize) | GetBE32(index + i * kIndexEntrySize + 4)) & 0x80000000u)
            return "a chunk lies outside the file";
    uint64_t inflated = 0;
    for (int cy = 0; cy < used_down(h); cy++) {
        for (int cx = 0; cx < used_across(h); cx++) {
            const unsigned char* e = index + (static_cast<size_t>(cy) * h.across + cx) * kIndexEntrySize;
            int32_t offset = static_cast<int32_t>(GetBE32(e)), length = static_cast<int32_t>(GetBE32(e + 4));
            if (offset < 0 || length <= 0 || static_cast<size_t>(offset) > in->size ||
                static_cast<size_t>(length) > in->size - static_cast<size_t>(offset))
                return "a chunk lies outside the file";
            const uint64_t bytes = static_cast<uint64_t>(chunk_span(h, cx, cy).pixels()) * bytes_per_pixel;
            if (bytes > static_cast<uint64_t>(length) * kMaxDeflateRatio)
                return "too little image data";
            inflated += bytes;
        }
    }
    // Streams of one file that do not overlap unpack to at most the ratio
    // times its size; an index that names one stream for many chunks asks
    // for more, and would cost time and memory out of all proportion.
    if (inflated > static_cast<uint64_t>(in->size) * kMaxDeflateRatio)
        return "the chunks name more data than the file holds";
    return nullptr;
}

struct gd2_colours {
    int count;  // the colours the file declares
    int32_t transparent;
    unsigned char table[kPaletteSize][4];  // red, green, blue, gd alpha
};

const char* read_colours(byte_reader* in, const gd2_header& h, gd2_colours* c)
{
    *c = gd2_colours{};
    if (h.version == 2) {
        if (!in->has(1))
            return "the colours run past the end of the file";
        if ((in->data[in->at++] != 0) != h.true_colour)
            return "the true-colour flag does not match the format";
        if (!h.true_colour) {
            if (!in->has(2))
                return "the colours run past the end of the file";
            c->count = GetBE16(in->data + in->at);
            in->at += 2;
            if (c->count > static_cast<int>(kPaletteSize))
                return "more than 256 colours";
        }
        if (!in->has(4))
            return "the colours run past the end of the file";
        c->transparent = static_cast<int32_t>(GetBE32(in->data + in->at));
        in->at += 4;
    } else {
        if (!in->has(3))
            return "the colours run past the end of the file";
        c->count = in->data[in->at];
        c->transparent = GetBE16(in->data + in->at + 1);
        c->transparent = c->transparent == kNoTransparent1 ? -1 : c->transparent;
        in->at += 3;
    }
    if (h.true_colour)
        return nullptr;
    const size_t entry = h.version == 2 ? 4 : 3;
    if (!in->has(kPaletteSize * entry))
        return "the colours run past the end of the file";
    for (size_t i = 0; i < kPaletteSize; i++, in->at += entry) {
        memcpy(c->table[i], in->data + in->at, entry);
        if (entry == 3)
            c->table[i][3] = 0;
    }
    return nullptr;
}

// Copies one row of a chunk (n pixels from the bytes at from) into row y
// of the image from column x on.
void put_row(gdImagePtr im, int y, int x, const unsigned char* from, int n, bool true_colour)
{
    if (!true_colour) {
        memcpy(im->pixels[y] + x, from, static_cast<size_t>(n));
        return;
    }
    for (int i = 0; i < n; i++, from += 4) {
        // gd's alpha has 7 bits; a larger value is taken as fully clear.
        int alpha = from[0] > gdAlphaMax ? gdAlphaMax : from[0];
        im->tpixels[y][x + i] = gdTrueColorAlpha(from[1], from[2], from[3], alpha);
    }
}

// Decodes every chunk that holds pixels straight into the image, whose
// pixels stay 0 where no chunk reaches.
const char* read_pixels(byte_reader* in, const gd2_header& h, const unsigned char* index, gdImagePtr im)
{
    const int bytes_per_pixel = h.true_colour ? 4 : 1;
    unsigned char* chunk = nullptr;
    if (h.compressed) {
        size_t largest = static_cast<size_t>(h.chunk < h.width ? h.chunk : h.width) *
                         (h.chunk < h.height ? h.chunk : h.height) * bytes_per_pixel;
        chunk = static_cast<unsigned char*>(malloc(largest));
        if (chunk == nullptr)
            return "out of memory";
    }
    const char* fault = nullptr;
    for (int cy = 0; cy < used_down(h) && fault == nullptr; cy++) {
        for (int cx = 0; cx < used_across(h) && fault == nullptr; cx++) {
            const pixel_span s = chunk_span(h, cx, cy);
            const size_t span_bytes = static_cast<size_t>(s.x1 - s.x0) * bytes_per_pixel;
            const size_t need = span_bytes * static_cast<size_t>(s.y1 - s.y0);
            const unsigned char* from = nullptr;
            if (h.compressed) {
                const unsigned char* e = index + (static_cast<size_t>(cy) * h.across + cx) * kIndexEntrySize;
                uLongf got = need;
                // A stream holding more than the chunk's pixels fills the
                // buffer (Z_BUF_ERROR); the rest is not needed.
                int z = uncompress(chunk, &got, in->data + GetBE32(e), GetBE32(e + 4));
                if ((z != Z_OK && z != Z_BUF_ERROR) || got < need)
                    fault = "a compressed chunk is damaged or too short";
                from = chunk;
            } else {
                if (!in->has(need))
                    fault = "too little image data";
                from = in->data + in->at;
                in->at += need;
            }
            for (int y = s.y0; y < s.y1 && fault == nullptr; y++)
                put_row(im, y, s.x0, from + static_cast<size_t>(y - s.y0) * span_bytes, s.x1 - s.x0, h.true_colour);
        }
    }
    free(chunk);
    return fault;
}

// Gives a palette image its colours: those the file declares, and as many
// more of the stored table as the pixels name.
void set_palette(gdImagePtr im, const gd2_header& h, const gd2_colours& c)
{
    int colours = c.count;
    for (int y = 0; y < h.height; y++)
        for (int x = 0; x < h.width; x++)
            colours = im->pixels[y][x] >= colours ? im->pixels[y][x] + 1 : colours;
    for (int i = 0; i < colours; i++)
        gdImageColorAllocateAlpha(im, c.table[i][0], c.table[i][1], c.table[i][2], c.table[i][3] & gdAlphaMax);
    if (c.transparent >= 0 && c.transparent < c.count)
        gdImageColorTransparent(im, c.transparent);
}

// Makes the pixels of a true-colour image's transparent colour (its red,
// green and blue, whatever their stored alpha) fully clear, as a PNG with
// an alpha channel must show them.
void clear_transparent(gdImagePtr im, const gd2_header& h, int32_t transparent)
{
    if (transparent == -1)
        return;
    gdImageColorTransparent(im, transparent);
    const int rgb = transparent & 0xFFFFFF;
    for (int y = 0; y < h.height; y++)
        for (int x = 0; x < h.width; x++)
            if ((im->tpixels[y][x] & 0xFFFFFF) == rgb)
                im->tpixels[y][x] = rgb | gdAlphaTransparent << 24;
}

}  // namespace

gdImagePtr read_gd2(const unsigned char* data, size_t size, const char** fault)
{
    byte_reader in = {data, size, 0};
    gd2_header h;
    gd2_colours colours;
    if ((*fault = read_header(&in, &h)) != nullptr)
        return nullptr;
    const int bytes_per_pixel = h.true_colour ? 4 : 1;
    const unsigned char* index = in.data + in.at;
    if (h.compressed && (*fault = check_index(&in, h, bytes_per_pixel)) != nullptr)
        return nullptr;
    if ((*fault = read_colours(&in, h, &colours)) != nullptr)
        return nullptr;
    // Raw pixels must all be in the file, compressed ones were bounded by
    // their streams' sizes, uncovered ones by the allowance: only then is
    // memory taken for them.
    uint64_t covered = 0;
    for (int cy = 0; cy < used_down(h); cy++)
        for (int cx = 0; cx < used_across(h); cx++)
            covered += static_cast<uint64_t>(chunk_span(h, cx, cy).pixels());
    const uint64_t uncovered = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height) - covered;
    if ((!h.compressed && !in.has(covered * bytes_per_pixel)) || uncovered > UnbackedPixelBudget(size)) {
        *fault = "too little image data";
        return nullptr;
    }
    // The image is the one copy of the pixels: chunks decode into it.
    gdImagePtr im = h.true_colour ? gdImageCreateTrueColor(h.width, h.height) : gdImageCreate(h.width, h.height);
    if (im == nullptr) {
        *fault = "out of memory";
        return nullptr;
    }
    if ((*fault = read_pixels(&in, h, index, im)) != nullptr) {
        gdImageDestroy(im);
        return nullptr;
    }
    if (h.true_colour) {
        gdImageAlphaBlending(im, 0);
        gdImageSaveAlpha(im, 1);
        clear_transparent(im, h, colours.transparent);
    } else {
        set_palette(im, h, colours);
    }
    return im;
}
