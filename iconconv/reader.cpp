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
// directory entry. Bytes past the end of the file read as 0. An input that
// cannot seek (a pipe) is read whole into memory first.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "get_le.h"
#include "icon.h"

char* global_file_name;
const char* output_directory;

enum : size_t { kFileHeaderSize = 6, kDirEntrySize = 16, kBitmapHeaderSize = 40 };
enum : uint16_t { kIconType = 1, kCursorType = 2 };
// Larger images are skipped: a cap that keeps every block size (at most
// 4096 x 4096 x 4 bytes) well inside 64-bit and allocatable arithmetic.
enum : int32_t { kMaxDimension = 4096 };
// Pixels without data behind them that a file may make: one largest image,
// plus 16 per byte of the file. Images whose data the file holds cost
// nothing; the bound stops small files that ask for many huge images
// beyond their end.
enum : uint64_t {
    kUnbackedAllowance = uint64_t{kMaxDimension} * kMaxDimension,
    kUnbackedPerByte = 16,
};
// PNG signature, the IHDR chunk that must follow it, and the IEND chunk
// that ends the stream. Chunks: u32 length (big-endian), 4-byte type, data,
// u32 CRC.
static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
enum : size_t { kPngHeaderSize = 8 + 4 + 4 + 13, kPngChunkOverhead = 12 };

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

// Reads size bytes into a zero-filled buffer: a short read leaves zeros.
static void read_block(FILE* file, unsigned char* buffer, size_t size)
{
    size_t got = fread(buffer, 1, size, file);
    memset(buffer + got, 0, size - got);
}

// Reads into a buffer that icon_alloc returned, already zero: the pages of
// a large block beyond the end of the file are never touched.
static void read_into_zeroed(FILE* file, unsigned char* buffer, size_t size)
{
    if (fread(buffer, 1, size, file) < size)
        clearerr(file);
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

// Takes cost from the budget; false, leaving it, when it does not cover it.
static bool spend(uint64_t* budget, uint64_t cost)
{
    if (cost > *budget)
        return false;
    *budget -= cost;
    return true;
}

static int report_file_error(const char* path, const char* reason)
{
    fflush(stdout);
    fprintf(stderr, "pngsmith: %s: %s\n", path, reason);
    return -1;
}

// A stream that cannot seek, read whole into memory (allocated with
// icon_alloc; the caller frees *data) with its size in *size. Returns null
// when the read fails.
static FILE* memory_stream(FILE* pipe, unsigned char** data, uint64_t* size)
{
    size_t used = 0, capacity = size_t{1} << 16;
    unsigned char* buffer = static_cast<unsigned char*>(icon_alloc(capacity));
    for (;;) {
        used += fread(buffer + used, 1, capacity - used, pipe);
        if (used < capacity)
            break;
        unsigned char* grown = static_cast<unsigned char*>(icon_alloc(capacity * 2));
        memcpy(grown, buffer, used);
        free(buffer);
        buffer = grown;
        capacity *= 2;
    }
    *data = buffer;
    *size = used;
    if (ferror(pipe))
        return nullptr;
    // fmemopen needs at least one byte: an empty input reads as one zero
    // byte, which is no icon header either.
    return fmemopen(buffer, used == 0 ? 1 : used, "rb");
}

int load_icon(const char* path)
{
    FILE* stream = fopen(path, "rb");
    if (stream == nullptr)
        return report_file_error(path, strerror(errno));
    struct stat status;
    if (fstat(fileno(stream), &status) != 0 || S_ISDIR(status.st_mode)) {
        int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
        fclose(stream);
        return report_file_error(path, strerror(error));
    }
    icon_file file = {stream, 0, status.st_dev, status.st_ino, 0, nullptr, 0, 0};
    unsigned char* memory = nullptr;
    off_t end = fseeko(stream, 0, SEEK_END) == 0 ? ftello(stream) : -1;
    if (end >= 0) {
        file.size = static_cast<uint64_t>(end);
        rewind(stream);
    } else {
        file.stream = memory_stream(stream, &memory, &file.size);
        fclose(stream);
        if (file.stream == nullptr) {
            free(memory);
            return report_file_error(path, strerror(errno));
        }
    }
    set_stem(path);
    int result = load_icon_file(&file);
    fclose(file.stream);
    free(memory);
    free_outputs(&file);
    if (result == kNotAnIcon)
        return report_file_error(path, "not an icon or cursor file");
    return result;
}

int load_icon_file(icon_file* file)
{
    unsigned char field[kFileHeaderSize];
    read_block(file->stream, field, sizeof field);
    icon_header* header = static_cast<icon_header*>(icon_alloc(sizeof(icon_header)));
    header->reserved = GetLE16(field);
    header->type = GetLE16(field + 2);
    header->count = GetLE16(field + 4);
    if (header->reserved != 0 || (header->type != kIconType && header->type != kCursorType)) {
        free(header);
        return kNotAnIcon;
    }

    size_t directory_size = header->count * kDirEntrySize;
    unsigned char* directory = static_cast<unsigned char*>(icon_alloc(directory_size));
    read_block(file->stream, directory, directory_size);
    header->entries = static_cast<icon_dir_entry*>(icon_alloc(header->count * sizeof(icon_dir_entry)));
    for (unsigned i = 0; i < header->count; i++) {
        const unsigned char* p = directory + i * kDirEntrySize;
        header->entries[i] =
            icon_dir_entry{p[0], p[1], p[2], p[3], GetLE16(p + 4), GetLE16(p + 6), GetLE32(p + 8), GetLE32(p + 12)};
    }
    free(directory);

    file->budget = file->size * kUnbackedPerByte + kUnbackedAllowance;
    printf("%s: %d icons.\n", global_file_name, header->count);
    int result = 0;
    for (int i = 0; i < header->count; i++)
        if (load_icon_image(file, i, header) != 0)
            result = -1;
    free(header->entries);
    free(header);
    return result;
}

// Completes a begun report line for an image that is not converted.
static int skip_image(const char* reason)
{
    printf("skipped: %s)\n", reason);
    return -1;
}

// Why the PNG stream at data (size bytes, as the directory gives them)
// cannot be copied: null when the signature is followed by chunks up to
// and including IEND within those bytes.
static const char* png_stream_fault(const unsigned char* data, uint64_t size)
{
    uint64_t at = sizeof kPngSignature;
    while (size >= at && size - at >= kPngChunkOverhead) {
        uint32_t length = GetBE32(data + at);
        bool end = memcmp(data + at + 4, "IEND", 4) == 0;
        if (length > size - at - kPngChunkOverhead)
            break;
        at += kPngChunkOverhead + length;
        if (end)
            return nullptr;
    }
    return size < kPngHeaderSize ? "the directory size holds no complete PNG image"
                                 : "the directory size cuts the PNG image short";
}

// An entry holding PNG data: checked and copied unchanged.
static int load_png_entry(icon_file* file, const icon_dir_entry& entry, const unsigned char* head)
{
    uint32_t width = GetBE32(head + 16), height = GetBE32(head + 20);
    unsigned depth = head[24], colour_type = head[25];
    // Channels per colour type (0 grey, 2 RGB, 3 palette, 4 grey+alpha,
    // 6 RGBA) and the bit depths each allows.
    unsigned channels = 0;
    bool depth_ok = false;
    switch (colour_type) {
    case 0:
        channels = 1;
        depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
    case 3:
        channels = 1;
        depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case 2:
        channels = 3;
        depth_ok = depth == 8 || depth == 16;
        break;
    case 4:
        channels = 2;
        depth_ok = depth == 8 || depth == 16;
        break;
    case 6:
        channels = 4;
        depth_ok = depth == 8 || depth == 16;
        break;
    }
    int bpp = static_cast<int>(depth * channels);
    printf("Found icon: %2ldx%2ld %2ldbpp Sz:%ld (", static_cast<long>(width), static_cast<long>(height),
           static_cast<long>(bpp), static_cast<long>(entry.bytes_in_resource));
    bool header_ok = GetBE32(head + 8) == 13 && memcmp(head + 12, "IHDR", 4) == 0 && width >= 1 &&
                     width <= 0x7FFFFFFF && height >= 1 && height <= 0x7FFFFFFF && depth_ok;
    if (!header_ok)
        return skip_image("not a valid PNG image");
    if (entry.image_offset > file->size || entry.bytes_in_resource > file->size - entry.image_offset)
        return skip_image("PNG data runs past the end of the file");
    char* name = output_name(static_cast<int>(width), static_cast<int>(height), bpp);
    int result = 0;
    if (!already_written(file, entry.image_offset, entry.bytes_in_resource, name)) {
        unsigned char* data = static_cast<unsigned char*>(icon_alloc(entry.bytes_in_resource));
        fseeko(file->stream, entry.image_offset, SEEK_SET);
        read_block(file->stream, data, entry.bytes_in_resource);
        const char* fault = png_stream_fault(data, entry.bytes_in_resource);
        result = fault != nullptr ? skip_image(fault)
                                  : write_png_bytes(file, entry.image_offset, entry.bytes_in_resource, name, data);
        free(data);
    }
    free(name);
    return result;
}

// The pixels of an image whose colour and mask bytes (needed of them, from
// position start) lie beyond the end of the file.
static uint64_t unbacked_pixels(const icon_file* file, uint64_t start, uint64_t needed, uint64_t pixels)
{
    uint64_t available = start < file->size ? file->size - start : 0;
    if (needed == 0 || available >= needed)
        return 0;
    // needed is below 2^27 and pixels at most 2^24: the product fits.
    return ((needed - available) * pixels + needed - 1) / needed;
}

int load_icon_image(icon_file* file, int index, const icon_header* header)
{
    const icon_dir_entry& entry = header->entries[index];
    FILE* stream = file->stream;
    fseeko(stream, entry.image_offset, SEEK_SET);
    unsigned char head[kBitmapHeaderSize];
    read_block(stream, head, sizeof head);
    if (memcmp(head, kPngSignature, sizeof kPngSignature) == 0)
        return load_png_entry(file, entry, head);

    icon_image* img = static_cast<icon_image*>(icon_alloc(sizeof(icon_image)));
    img->header_size = GetLE32(head);
    img->width = static_cast<int32_t>(GetLE32(head + 4));
    img->height = static_cast<int32_t>(GetLE32(head + 8));
    img->planes = GetLE16(head + 12);
    img->bit_count = static_cast<int16_t>(GetLE16(head + 14));
    img->compression = GetLE32(head + 16);
    img->image_size = static_cast<int32_t>(GetLE32(head + 20));
    img->x_resolution = static_cast<int32_t>(GetLE32(head + 24));
    img->y_resolution = static_cast<int32_t>(GetLE32(head + 28));
    img->colours_used = GetLE32(head + 32);
    img->important_colours = GetLE32(head + 36);
    img->file = file;
    img->offset = entry.image_offset;
    const int32_t w = img->width, h = image_height(img);
    const int bits = img->bit_count;
    printf("Found icon: %2ldx%2ld %2ldbpp Sz:%ld (", static_cast<long>(w), static_cast<long>(h),
           static_cast<long>(bits), static_cast<long>(img->image_size));

    int result = 0;
    char* name = output_name(w, h, bits);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        char reason[64];
        snprintf(reason, sizeof reason, "%d bits per pixel not supported", bits);
        result = skip_image(reason);
    } else if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension) {
        result = skip_image("image size out of range");
    } else if (!already_written(file, entry.image_offset, 0, name)) {
        // Later header versions (108 and 124 bytes) put more fields before
        // the palette; a size that does not fit in the file is not trusted.
        uint64_t start = uint64_t{entry.image_offset} + kBitmapHeaderSize;
        if (img->header_size > kBitmapHeaderSize && entry.image_offset <= file->size &&
            img->header_size <= file->size - entry.image_offset) {
            start = uint64_t{entry.image_offset} + img->header_size;
            fseeko(stream, static_cast<off_t>(start), SEEK_SET);
        }
        size_t palette_size = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
        size_t pixels_size = static_cast<size_t>(colour_row_length(img) * h);
        size_t mask_size = static_cast<size_t>(mask_row_length(img) * h);
        uint64_t unbacked = unbacked_pixels(file, start + palette_size, pixels_size + mask_size,
                                            static_cast<uint64_t>(w) * static_cast<uint64_t>(h));
        if (!spend(&file->budget, unbacked)) {
            result = skip_image("the file is too small for all its images");
        } else {
            if (palette_size != 0) {
                img->palette = static_cast<unsigned char*>(icon_alloc(palette_size));
                read_block(stream, img->palette, palette_size);
            }
            img->pixels = static_cast<unsigned char*>(icon_alloc(pixels_size));
            read_into_zeroed(stream, img->pixels, pixels_size);
            img->mask = static_cast<unsigned char*>(icon_alloc(mask_size));
            read_into_zeroed(stream, img->mask, mask_size);

            if (bits == 32)
                result = process_32bit(img);
            else if (bits == 24)
                result = process_24bit(img);
            else
                result = ico2png(img);
        }
    }
    free(name);
    free(img->mask);
    free(img->pixels);
    free(img->palette);
    free(img);
    return result;
}
