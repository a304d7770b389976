// Icon and cursor files, little-endian:
//   file header   u16 reserved, u16 type (1 icon, 2 cursor), u16 count
//   directory     count x 16 bytes: u8 width, u8 height, u8 colour count,
//                 u8 reserved, u16 planes, u16 bit count,
//                 u32 bytes in resource, u32 image offset
//   image data    at image offset, either PNG data (it begins with the PNG
//                 signature) or a bitmap: a BITMAPINFOHEADER (u32 size,
//                 i32 width, i32 height (colours and mask together), u16
//                 planes, i16 bit count, u32 compression, i32 image size,
//                 i32 x and y resolution, u32 colours used and important),
//                 a palette of 2^bit count BGRx entries below 24 bits, the
//                 colour rows and the 1-bit mask rows, bottom row first,
//                 each row padded to 4 bytes.
// Width, height and depth come from the image's own header, never from its
// directory entry. Bytes past the end of the file read as 0.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "icon.h"

char* global_file_name;
int exit_status;

enum : size_t { kFileHeaderSize = 6, kDirEntrySize = 16, kBitmapHeaderSize = 40 };
// Larger images are skipped: a cap that keeps every block size (at most
// 4096 x 4096 x 4 bytes) well inside 64-bit and allocatable arithmetic.
enum : int32_t { kMaxDimension = 4096 };
// Pixels (or bytes of PNG data) a file may make per byte of its size, with
// an allowance for small truncated files; 64 M when the size is unknown.
enum : uint64_t {
    kPixelsPerByte = 16,
    kBudgetAllowance = 1 << 20,
    kUnknownSizeBudget = uint64_t{1} << 26,
};
// PNG signature and the IHDR chunk that must follow it.
static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
enum : size_t { kPngHeaderSize = 8 + 4 + 4 + 13 };

void* (*icon_calloc)(size_t, size_t) = calloc;

void* icon_alloc(size_t count)
{
    void* p = icon_calloc(count == 0 ? 1 : count, 1);
    if (p == nullptr) {
        perror("malloc");
        exit(1);
    }
    return p;
}

static uint16_t get_u16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
static uint32_t get_u32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
static uint32_t get_u32_be(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// Reads size bytes into a zero-filled buffer: a short read leaves zeros.
static void read_block(FILE* file, unsigned char* buffer, size_t size)
{
    size_t got = fread(buffer, 1, size, file);
    memset(buffer + got, 0, size - got);
}

// The stem: the path without the extension of its last component. A
// leading '.' of that component (a hidden file) does not start one.
static void set_stem(const char* path)
{
    free(global_file_name);
    size_t length = strlen(path);
    global_file_name = static_cast<char*>(icon_alloc(length + 1));
    memcpy(global_file_name, path, length);
    char* base = strrchr(global_file_name, '/');
    base = base == nullptr ? global_file_name : base + 1;
    char* dot = strrchr(base, '.');
    if (dot != nullptr && dot != base)
        *dot = '\0';
}

// The size of the stream, or UINT64_MAX when it cannot be told (a pipe).
static uint64_t stream_size(FILE* file)
{
    off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0)
        return UINT64_MAX;
    off_t end = ftello(file);
    fseeko(file, here, SEEK_SET);
    return end < 0 ? UINT64_MAX : static_cast<uint64_t>(end);
}

// Takes cost from the budget; false, leaving it, when it does not cover it.
static bool spend(uint64_t* budget, uint64_t cost)
{
    if (cost > *budget)
        return false;
    *budget -= cost;
    return true;
}

int load_icon(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (file == nullptr)
        return -1;
    set_stem(path);
    load_icon_file(file);
    fclose(file);
    return 0;
}

int load_icon_file(FILE* file)
{
    icon_header* header = static_cast<icon_header*>(icon_alloc(sizeof(icon_header)));
    unsigned char field[2];
    read_block(file, field, 2);
    header->reserved = get_u16(field);
    read_block(file, field, 2);
    header->type = get_u16(field);
    read_block(file, field, 2);
    header->count = get_u16(field);

    size_t directory_size = header->count * kDirEntrySize;
    unsigned char* directory = static_cast<unsigned char*>(icon_alloc(directory_size));
    read_block(file, directory, directory_size);
    header->entries =
        static_cast<icon_dir_entry*>(icon_alloc(header->count * sizeof(icon_dir_entry)));
    for (unsigned i = 0; i < header->count; i++) {
        const unsigned char* p = directory + i * kDirEntrySize;
        header->entries[i] = icon_dir_entry{p[0], p[1], p[2], p[3], get_u16(p + 4),
                                            get_u16(p + 6), get_u32(p + 8), get_u32(p + 12)};
    }
    free(directory);

    uint64_t file_size = stream_size(file);
    // The work on a file is bounded by its size: images whose data lies
    // beyond the end read as zeros, so a small file could otherwise ask for
    // thousands of the largest images. Complete files need at most 4
    // pixels per byte (1 bit of colour and 1 of mask each).
    uint64_t budget = file_size == UINT64_MAX ? kUnknownSizeBudget
                                              : file_size * kPixelsPerByte + kBudgetAllowance;
    printf("%s: %d icons.\n", global_file_name, header->count);
    for (int i = 0; i < header->count; i++)
        load_icon_image(file, i, header, file_size, &budget);
    free(header->entries);
    free(header);
    return 0;
}

// Completes a begun report line for an image that is not converted.
static void skip_image(const char* reason)
{
    printf("skipped: %s)\n", reason);
    exit_status = 2;
}

// An entry holding PNG data: checked and copied unchanged.
static void load_png_entry(FILE* file, const icon_dir_entry& entry, const unsigned char* head,
                           uint64_t file_size, uint64_t* budget)
{
    uint32_t width = get_u32_be(head + 16), height = get_u32_be(head + 20);
    unsigned depth = head[24], colour_type = head[25];
    // Channels per colour type (0 grey, 2 RGB, 3 palette, 4 grey+alpha,
    // 6 RGBA) and the bit depths each allows.
    unsigned channels = 0;
    bool depth_ok = false;
    switch (colour_type) {
    case 0: channels = 1; depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 3: channels = 1; depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 2: channels = 3; depth_ok = depth == 8 || depth == 16; break;
    case 4: channels = 2; depth_ok = depth == 8 || depth == 16; break;
    case 6: channels = 4; depth_ok = depth == 8 || depth == 16; break;
    }
    int bpp = static_cast<int>(depth * channels);
    printf("Found icon: %2ldx%2ld %2ldbpp Sz:%ld (", static_cast<long>(width),
           static_cast<long>(height), static_cast<long>(bpp),
           static_cast<long>(entry.bytes_in_resource));
    bool header_ok = get_u32_be(head + 8) == 13 && memcmp(head + 12, "IHDR", 4) == 0 &&
                     width >= 1 && width <= 0x7FFFFFFF && height >= 1 && height <= 0x7FFFFFFF &&
                     depth_ok;
    if (!header_ok || entry.bytes_in_resource < kPngHeaderSize) {
        skip_image("not a valid PNG image");
        return;
    }
    if (entry.image_offset > file_size || entry.bytes_in_resource > file_size - entry.image_offset) {
        skip_image("PNG data runs past the end of the file");
        return;
    }
    if (!spend(budget, entry.bytes_in_resource)) {
        skip_image("the file is too small for all its images");
        return;
    }
    unsigned char* data = static_cast<unsigned char*>(icon_alloc(entry.bytes_in_resource));
    fseeko(file, entry.image_offset, SEEK_SET);
    read_block(file, data, entry.bytes_in_resource);
    write_png_bytes(data, entry.bytes_in_resource, static_cast<int>(width),
                    static_cast<int>(height), bpp);
    free(data);
}

int load_icon_image(FILE* file, int index, const icon_header* header, uint64_t file_size,
                    uint64_t* budget)
{
    const icon_dir_entry& entry = header->entries[index];
    fseeko(file, entry.image_offset, SEEK_SET);
    unsigned char head[kBitmapHeaderSize];
    read_block(file, head, sizeof head);
    if (memcmp(head, kPngSignature, sizeof kPngSignature) == 0) {
        load_png_entry(file, entry, head, file_size, budget);
        return 0;
    }

    icon_image* img = static_cast<icon_image*>(icon_alloc(sizeof(icon_image)));
    img->header_size = get_u32(head);
    img->width = static_cast<int32_t>(get_u32(head + 4));
    img->height = static_cast<int32_t>(get_u32(head + 8));
    img->planes = get_u16(head + 12);
    img->bit_count = static_cast<int16_t>(get_u16(head + 14));
    img->compression = get_u32(head + 16);
    img->image_size = static_cast<int32_t>(get_u32(head + 20));
    img->x_resolution = static_cast<int32_t>(get_u32(head + 24));
    img->y_resolution = static_cast<int32_t>(get_u32(head + 28));
    img->colours_used = get_u32(head + 32);
    img->important_colours = get_u32(head + 36);
    const int32_t w = img->width, h = image_height(img);
    const int bits = img->bit_count;
    printf("Found icon: %2ldx%2ld %2ldbpp Sz:%ld (", static_cast<long>(w), static_cast<long>(h),
           static_cast<long>(bits), static_cast<long>(img->image_size));

    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        char reason[64];
        snprintf(reason, sizeof reason, "%d bits per pixel not supported", bits);
        skip_image(reason);
    } else if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension) {
        skip_image("image size out of range");
    } else if (!spend(budget, static_cast<uint64_t>(w) * static_cast<uint64_t>(h))) {
        skip_image("the file is too small for all its images");
    } else {
        // Later header versions (108 and 124 bytes) put more fields before
        // the palette; a size that does not fit in the file is not trusted.
        if (img->header_size > kBitmapHeaderSize && entry.image_offset <= file_size &&
            img->header_size <= file_size - entry.image_offset)
            fseeko(file, static_cast<off_t>(entry.image_offset) + img->header_size, SEEK_SET);
        if (bits <= 8) {
            size_t palette_size = (size_t{1} << bits) * 4;
            img->palette = static_cast<unsigned char*>(icon_alloc(palette_size));
            read_block(file, img->palette, palette_size);
        }
        size_t pixels_size = static_cast<size_t>(colour_row_length(img) * h);
        img->pixels = static_cast<unsigned char*>(icon_alloc(pixels_size));
        read_block(file, img->pixels, pixels_size);
        size_t mask_size = static_cast<size_t>(mask_row_length(img) * h);
        img->mask = static_cast<unsigned char*>(icon_alloc(mask_size));
        read_block(file, img->mask, mask_size);

        if (bits == 32)
            process_32bit(img);
        else if (bits == 24)
            process_24bit(img);
        else
            ico2png(img);
    }
    free(img->mask);
    free(img->pixels);
    free(img->palette);
    free(img);
    return 0;
}
