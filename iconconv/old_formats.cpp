// Icons of OS/2 and of Windows 1.x and 2.x, little-endian. Each image is
// described by where its blocks lie; read_bitmap reads them as it reads an
// ICO bitmap's.
//
// OS/2 (Presentation Manager 1.x and 2.x):
//   bitmap array  "BA", u32 header size, u32 offset of the next array
//                 element from the file's start (0: the last), u16 and u16
//                 display size; an image's headers follow at once
//   file header   2-byte type ("IC" icon, "PT" pointer: one 1-bit bitmap of
//                 twice the height; "CI", "CP": that bitmap's header, then
//                 the colour bitmap's), u32 size, i16 hotspot x and y, u32
//                 offset of the bitmap's rows from the file's start
//   info header   u32 size: 12 (u16 width, u16 height, u16 planes, u16 bit
//                 count, then 3-byte palette entries, blue, green, red) or
//                 16 to 64 (u32 width, u32 height, u16 planes, u16 bit
//                 count, u32 compression, ..., u32 colours used at 32, then
//                 4-byte entries)
//   rows          bottom row first, each padded to 4 bytes. The 1-bit
//                 bitmap holds the XOR rows, then the AND rows: AND 1 is
//                 transparent (inverted where XOR is 1, shown transparent).
// Windows 1.x and 2.x:
//   u8 1 (icon) or 3 (cursor), u8 0 (device-independent), 1 (dependent) or
//   2 (both: one image of each kind, in turn), then per image: i16 hotspot
//   x and y (an icon's unused), u16 width, u16 height, u16 bytes per row,
//   u16 unused; the AND rows, then the XOR rows, top row first.
#include <cstdlib>
#include <cstring>

#include "get_le.h"
#include "icon.h"

namespace {

enum : size_t { kArrayHeaderSize = 14, kFileHeaderSize = 14, kOldInfoSize = 12, kMaxInfoSize = 64 };
enum : size_t { kWin1HeaderSize = 12, kWin1TypeSize = 2 };
// Array elements read at most: a chain of offsets must end.
enum : unsigned { kMaxArrayElements = 4096 };

// A small block at position at; zeros past the end of the file.
void read_at(FILE* stream, uint64_t at, unsigned char* buffer, size_t size)
{
    fseeko(stream, static_cast<off_t>(at), SEEK_SET);
    size_t got = fread(buffer, 1, size, stream);
    memset(buffer + got, 0, size - got);
}

bool is_type(const unsigned char* p, const char* type) { return memcmp(p, type, 2) == 0; }

// One OS/2 bitmap's file and info headers, at position at.
struct os2_bitmap {
    uint64_t at;  // of its file header
    uint64_t bits_at;  // of its rows
    uint64_t palette_at;
    uint32_t info_size;
    int64_t width, height;
    int bpp;
    uint32_t compression;
    uint32_t palette_count;
    uint8_t palette_entry;
    int16_t hotspot_x, hotspot_y;
    uint64_t end;  // where its palette ends: the next header of a colour icon
};

// Reads the bitmap whose file header is at at. Returns why it cannot be
// read, or null.
const char* read_os2_bitmap(FILE* stream, uint64_t at, os2_bitmap* b)
{
    unsigned char h[kFileHeaderSize + kMaxInfoSize];
    read_at(stream, at, h, sizeof h);
    *b = os2_bitmap{};
    b->at = at;
    b->hotspot_x = static_cast<int16_t>(GetLE16(h + 6));
    b->hotspot_y = static_cast<int16_t>(GetLE16(h + 8));
    b->bits_at = GetLE32(h + 10);
    const unsigned char* info = h + kFileHeaderSize;
    b->info_size = GetLE32(info);
    if (b->info_size == kOldInfoSize) {
        b->width = GetLE16(info + 4);
        b->height = GetLE16(info + 6);
        b->bpp = GetLE16(info + 10);
        b->palette_entry = 3;
    } else if (b->info_size >= 16 && b->info_size <= kMaxInfoSize) {
        b->width = GetLE32(info + 4);
        b->height = GetLE32(info + 8);
        b->bpp = GetLE16(info + 14);
        b->compression = b->info_size >= 20 ? GetLE32(info + 16) : 0;
        b->palette_count = b->info_size >= 36 ? GetLE32(info + 32) : 0;
        b->palette_entry = 4;
    } else {
        return "an OS/2 bitmap header of unknown size";
    }
    if (b->compression != 0)
        return "compressed OS/2 bitmaps not supported";
    if (b->bpp != 1 && b->bpp != 4 && b->bpp != 8 && b->bpp != 24) {
        static char reason[64];
        snprintf(reason, sizeof reason, "%d bits per pixel not supported", b->bpp);
        return reason;
    }
    const uint32_t full = b->bpp <= 8 ? 1u << b->bpp : 0;
    if (b->palette_count == 0 || b->palette_count > full)
        b->palette_count = full;
    b->palette_at = at + kFileHeaderSize + b->info_size;
    b->end = b->palette_at + uint64_t{b->palette_count} * b->palette_entry;
    return nullptr;
}

// The image whose (first) file header is at at: a monochrome icon or
// pointer, or a colour one with its mask pair's header first.
void add_os2_image(icon_file* file, uint64_t at, icon_entry** entries, unsigned* count)
{
    unsigned char type[2];
    read_at(file->stream, at, type, sizeof type);
    icon_entry* e = add_entry(entries, count);
    e->store = image_store::kOs2;
    e->offset = static_cast<uint32_t>(at);
    e->cursor = is_type(type, "PT") || is_type(type, "CP");
    const bool colour = is_type(type, "CI") || is_type(type, "CP");
    os2_bitmap mask, image;
    if (!colour && !e->cursor && !is_type(type, "IC")) {
        e->fault = "not an OS/2 icon or pointer";
        return;
    }
    if ((e->fault = read_os2_bitmap(file->stream, at, &mask)) != nullptr)
        return;
    e->hotspot_x = static_cast<uint16_t>(mask.hotspot_x);
    e->hotspot_y = static_cast<uint16_t>(mask.hotspot_y);
    e->width = mask.width;
    e->height = mask.height / 2;
    if (mask.bpp != 1) {
        e->fault = "the mask of an OS/2 icon is not 1 bit deep";
        return;
    }
    // The AND rows follow the XOR rows.
    const uint64_t mask_row = (static_cast<uint64_t>(mask.width) + 31) / 32 * 4;
    e->mask_at = mask.bits_at + mask_row * static_cast<uint64_t>(e->height);
    image = mask;
    if (colour) {
        read_at(file->stream, mask.end, type, sizeof type);
        if (!is_type(type, "CI") && !is_type(type, "CP")) {
            e->fault = "the colour bitmap of an OS/2 icon is missing";
            return;
        }
        if ((e->fault = read_os2_bitmap(file->stream, mask.end, &image)) != nullptr)
            return;
        if (image.width != e->width || image.height != e->height) {
            e->fault = "the colour bitmap's size does not match its mask";
            return;
        }
    }
    e->bpp = image.bpp;
    e->pixels_at = image.bits_at;
    e->palette_at = image.palette_at;
    e->palette_count = image.palette_count;
    e->palette_entry = image.palette_entry;
    e->bytes = static_cast<uint32_t>(
        mask_row * static_cast<uint64_t>(mask.height) +
        (colour ? (static_cast<uint64_t>(image.width) * image.bpp + 31) / 32 * 4 * static_cast<uint64_t>(image.height)
                : 0));
}

}  // namespace

void read_os2_entries(icon_file* file, icon_entry** entries, unsigned* count)
{
    unsigned char head[kArrayHeaderSize];
    read_at(file->stream, 0, head, sizeof head);
    if (!is_type(head, "BA")) {
        add_os2_image(file, 0, entries, count);
        return;
    }
    // Each element names the next by its offset, which must move forward
    // and stay inside the file: the chain ends.
    uint64_t at = 0;
    for (unsigned n = 0; n < kMaxArrayElements; n++) {
        read_at(file->stream, at, head, sizeof head);
        if (!is_type(head, "BA"))
            break;
        add_os2_image(file, at + kArrayHeaderSize, entries, count);
        uint64_t next = GetLE32(head + 6);
        if (next <= at || next >= file->size)
            break;
        at = next;
    }
}

void read_win1_entries(icon_file* file, icon_entry** entries, unsigned* count)
{
    unsigned char type[kWin1TypeSize];
    read_at(file->stream, 0, type, sizeof type);
    const bool cursor = type[0] == 3;
    const unsigned images = type[1] == 2 ? 2 : 1;
    uint64_t at = kWin1TypeSize;
    for (unsigned i = 0; i < images; i++) {
        unsigned char h[kWin1HeaderSize];
        read_at(file->stream, at, h, sizeof h);
        icon_entry* e = add_entry(entries, count);
        e->store = image_store::kWin1;
        e->offset = static_cast<uint32_t>(at);
        e->cursor = cursor;
        e->hotspot_x = GetLE16(h);
        e->hotspot_y = GetLE16(h + 2);
        e->width = GetLE16(h + 4);
        e->height = GetLE16(h + 6);
        e->row_bytes = GetLE16(h + 8);
        e->bpp = 1;
        e->top_down = true;
        if (e->row_bytes < (e->width + 7) / 8)
            e->fault = "the row length is shorter than the image is wide";
        const uint64_t block = uint64_t{e->row_bytes} * static_cast<uint64_t>(e->height);
        e->bytes = static_cast<uint32_t>(2 * block);
        e->mask_at = at + kWin1HeaderSize;
        e->pixels_at = e->mask_at + block;
        // XOR 0 is black, 1 white.
        e->palette_count = 0;
        at = e->pixels_at + block;
    }
}
