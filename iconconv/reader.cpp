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
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "file_chores.h"
#include "seekable_stream.h"
#include "get_le.h"
#include "icon.h"

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
static char* stem_of(const char* path)
{
    size_t length = strlen(path);
    char* stem = static_cast<char*>(icon_alloc(length + 1));
    memcpy(stem, path, length);
    char* base = strrchr(stem, '/');
    base = base == nullptr ? stem : base + 1;
    char* dot = strrchr(base, '.');
    if (dot != nullptr && dot != base)
        *dot = '\0';
    return stem;
}

void init_icon_file(icon_file* file, FILE* stream, uint64_t size, const char* path, const icon_options* options,
                    icon_run* run)
{
    *file = icon_file{};
    file->stream = stream;
    file->size = size;
    file->path = path;
    file->stem = stem_of(path);
    file->options = options;
    file->run = run;
    // With the PNG data on standard output, the account goes beside it.
    file->report = options->to_stdout && !options->list ? stderr : stdout;
    file->names = isatty(fileno(file->report)) ? NameEscapes::kAll
                  : options->list              ? NameEscapes::kControls
                                               : NameEscapes::kNone;
    file->budget = size * kUnbackedPerByte + kUnbackedAllowance;
}

void free_icon_file(icon_file* file)
{
    for (size_t i = 0; i < file->output_count; i++) {
        free(file->outputs[i].name);
        free(file->outputs[i].written);
    }
    free(file->outputs);
    free(file->stem);
    *file = icon_file{};
}

// Takes cost from the budget; false, leaving it, when it does not cover it.
static bool spend(uint64_t* budget, uint64_t cost)
{
    if (cost > *budget)
        return false;
    *budget -= cost;
    return true;
}

void put_report_name(const icon_file* file, const char* name) { PutName(file->report, name, file->names); }

static int report_file_error(const char* path, const char* reason)
{
    fflush(stdout);
    fputs("pngsmith: ", stderr);
    PutName(stderr, path, isatty(STDERR_FILENO) != 0);
    fprintf(stderr, ": %s\n", reason);
    return -1;
}

// Whether the file header is an icon's or a cursor's: reserved 0, type 1
// or 2.
static bool is_icon_header(const unsigned char* field)
{
    uint16_t reserved = GetLE16(field), type = GetLE16(field + 2);
    return reserved == 0 && (type == kIconType || type == kCursorType);
}

int load_icon(const char* path, const icon_options* options, icon_run* run)
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
    // PNG data or progress lines appended to the input would change the
    // file the user named as the input (devices such as /dev/null aside).
    struct stat out;
    if (fstat(STDOUT_FILENO, &out) == 0 && !S_ISCHR(status.st_mode) && SameFile(out, status.st_dev, status.st_ino)) {
        fclose(stream);
        return report_file_error(path, "the input is also standard output");
    }
    // An input that cannot seek (a pipe) is read through a stream that can;
    // its end, and so its size, is known once it is read whole.
    // Entries reach no further than 32-bit offsets and sizes: a longer pipe
    // is "File too large".
    if (fseeko(stream, 0, SEEK_CUR) != 0 && (stream = SeekableStream(stream, uint64_t{1} << 32, kPipeMemory)) == nullptr)
        return report_file_error(path, strerror(errno));
    // The kind is told by the first bytes, before a pipe is read to its end.
    unsigned char head[kFileHeaderSize];
    read_block(stream, head, sizeof head);
    if (!is_icon_header(head)) {
        fclose(stream);
        return report_file_error(path, "not an icon or cursor file");
    }
    off_t end = fseeko(stream, 0, SEEK_END) == 0 ? ftello(stream) : -1;
    if (end < 0) {
        int error = errno;
        fclose(stream);
        return report_file_error(path, strerror(error));
    }
    const uint64_t size = static_cast<uint64_t>(end);
    rewind(stream);
    icon_file file;
    init_icon_file(&file, stream, size, path, options, run);
    file.device = status.st_dev;
    file.inode = status.st_ino;
    int result = load_icon_file(&file);
    free_icon_file(&file);
    fclose(stream);
    switch (result) {
    case kNotAnIcon:
        return report_file_error(path, "not an icon or cursor file");
    case kNoneSelected:
        return report_file_error(path, "no image matches the selection");
    case kManySelected:
        return report_file_error(path, "-o - writes one image, and the selection holds more"
                                       " (choose one with --index or --largest)");
    default:
        return result;
    }
}

void read_entry(icon_file* file, const unsigned char* dir, unsigned number, icon_entry* entry)
{
    *entry = icon_entry{};
    entry->number = number;
    entry->hotspot_x = GetLE16(dir + 4);
    entry->hotspot_y = GetLE16(dir + 6);
    entry->bytes = GetLE32(dir + 8);
    entry->offset = GetLE32(dir + 12);
    fseeko(file->stream, entry->offset, SEEK_SET);
    read_block(file->stream, entry->head, sizeof entry->head);
    const unsigned char* head = entry->head;
    entry->png = memcmp(head, kPngSignature, sizeof kPngSignature) == 0;
    if (entry->png) {
        // Channels per colour type (0 grey, 2 RGB, 3 palette, 4 grey+alpha,
        // 6 RGBA); other types count none.
        static const unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        unsigned colour_type = head[25];
        entry->width = GetBE32(head + 16);
        entry->height = GetBE32(head + 20);
        entry->bpp = static_cast<int>(head[24] * (colour_type < 7 ? kChannels[colour_type] : 0));
        entry->size_field = entry->bytes;
    } else {
        entry->width = static_cast<int32_t>(GetLE32(head + 4));
        entry->height = static_cast<int32_t>(GetLE32(head + 8)) / 2;
        entry->bpp = static_cast<int16_t>(GetLE16(head + 14));
        entry->size_field = static_cast<int32_t>(GetLE32(head + 20));
    }
}

// Whether the IHDR chunk that follows the PNG signature is one libpng
// takes: a size of 1 to 2^31 - 1 each way and a depth its colour type
// allows.
static bool png_header_valid(const unsigned char* head)
{
    unsigned depth = head[24];
    bool depth_ok = false;
    switch (head[25]) {
    case 0:
        depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        break;
    case 3:
        depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8;
        break;
    case 2:
    case 4:
    case 6:
        depth_ok = depth == 8 || depth == 16;
        break;
    }
    uint32_t width = GetBE32(head + 16), height = GetBE32(head + 20);
    return GetBE32(head + 8) == 13 && memcmp(head + 12, "IHDR", 4) == 0 && width >= 1 && width <= 0x7FFFFFFF &&
           height >= 1 && height <= 0x7FFFFFFF && depth_ok;
}

const char* entry_fault(const icon_entry* entry)
{
    if (entry->png)
        return png_header_valid(entry->head) ? nullptr : "not a valid PNG image";
    const int bits = entry->bpp;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        static char reason[64];
        snprintf(reason, sizeof reason, "%d bits per pixel not supported", bits);
        return reason;
    }
    if (entry->width <= 0 || entry->height <= 0 || entry->width > kMaxDimension || entry->height > kMaxDimension)
        return "image size out of range";
    return nullptr;
}

// Why the PNG stream at data (size bytes, as the directory gives them)
// cannot be copied: null when the signature is followed by chunks up to
// and including IEND within those bytes, each with its CRC-32 (of its type
// and data) right.
static const char* png_stream_fault(const unsigned char* data, uint64_t size)
{
    uint64_t at = sizeof kPngSignature;
    while (size >= at && size - at >= kPngChunkOverhead) {
        uint32_t length = GetBE32(data + at);
        bool end = memcmp(data + at + 4, "IEND", 4) == 0;
        if (length > size - at - kPngChunkOverhead)
            break;
        uLong crc = crc32(crc32(0L, Z_NULL, 0), data + at + 4, 4 + length);
        if (crc != GetBE32(data + at + 8 + length))
            return "a PNG chunk's CRC does not match its data";
        at += kPngChunkOverhead + length;
        if (end)
            return nullptr;
    }
    return size < kPngHeaderSize ? "the directory size holds no complete PNG image"
                                 : "the directory size cuts the PNG image short";
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

static void parse_bitmap_header(const unsigned char* head, icon_image* img)
{
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
}

// Where the palette begins: after the 40-byte header, or after a later
// header version's larger one (108 and 124 bytes), whose size is trusted
// only when it fits in the file.
static uint64_t palette_start(const icon_file* file, const icon_entry* entry, const icon_image* img)
{
    uint64_t start = uint64_t{entry->offset} + kBitmapHeaderSize;
    if (img->header_size > kBitmapHeaderSize && entry->offset <= file->size &&
        img->header_size <= file->size - entry->offset)
        start = uint64_t{entry->offset} + img->header_size;
    return start;
}

icon_image* read_bitmap(icon_file* file, const icon_entry* entry, const char** fault)
{
    icon_image* img = static_cast<icon_image*>(icon_alloc(sizeof(icon_image)));
    parse_bitmap_header(entry->head, img);
    const int bits = img->bit_count;
    const uint64_t start = palette_start(file, entry, img);
    const size_t palette_size = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
    const size_t pixels_size = static_cast<size_t>(colour_row_length(img) * entry->height);
    const size_t mask_size = static_cast<size_t>(mask_row_length(img) * entry->height);
    uint64_t unbacked = unbacked_pixels(file, start + palette_size, pixels_size + mask_size,
                                        static_cast<uint64_t>(entry->width) * static_cast<uint64_t>(entry->height));
    if (!spend(&file->budget, unbacked)) {
        free(img);
        *fault = "the file is too small for all its images";
        return nullptr;
    }
    FILE* stream = file->stream;
    fseeko(stream, static_cast<off_t>(start), SEEK_SET);
    if (palette_size != 0) {
        img->palette = static_cast<unsigned char*>(icon_alloc(palette_size));
        read_block(stream, img->palette, palette_size);
    }
    img->pixels = static_cast<unsigned char*>(icon_alloc(pixels_size));
    read_into_zeroed(stream, img->pixels, pixels_size);
    img->mask = static_cast<unsigned char*>(icon_alloc(mask_size));
    read_into_zeroed(stream, img->mask, mask_size);
    return img;
}

void free_icon_image(icon_image* img)
{
    if (img == nullptr)
        return;
    free(img->mask);
    free(img->pixels);
    free(img->palette);
    free(img);
}

// Completes a begun report line for an image that is not converted.
static int skip_image(const icon_file* file, const char* reason)
{
    fprintf(file->report, file->options->list ? ", skipped: %s\n" : "skipped: %s)\n", reason);
    return -1;
}

// Begins the entry's report line: "Found icon: ..." before its output's
// name, or for a listing its number, size, depth, kind and bytes.
static void begin_line(const icon_file* file, const icon_entry* entry)
{
    if (!file->options->list) {
        fprintf(file->report, "Found icon: %2ldx%2ld %2ldbpp Sz:%ld (", static_cast<long>(entry->width),
                static_cast<long>(entry->height), static_cast<long>(entry->bpp), entry->size_field);
        return;
    }
    put_report_name(file, file->path);
    fprintf(file->report, ": %u: %ldx%ld %dbpp %s %lu bytes", entry->number,
            static_cast<long>(entry->width), static_cast<long>(entry->height), entry->bpp,
            entry->png ? "png" : "bitmap", static_cast<unsigned long>(entry->bytes));
    if (file->cursor)
        fprintf(file->report, ", hotspot %u,%u", entry->hotspot_x, entry->hotspot_y);
}

// Ends the report line of an image that an earlier entry already wrote, or
// for a listing one that would be written.
static int keep_image(icon_file* file, const char* written)
{
    if (!file->options->list) {
        put_report_name(file, written);
        fputc(')', file->report);
    }
    fputc('\n', file->report);
    return 0;
}

// An entry holding PNG data: checked and copied unchanged.
static int load_png_entry(icon_file* file, const icon_entry* entry, const char* name)
{
    if (entry->offset > file->size || entry->bytes > file->size - entry->offset)
        return skip_image(file, "PNG data runs past the end of the file");
    if (const char* written = already_written(file, entry->offset, entry->bytes, name))
        return keep_image(file, written);
    unsigned char* data = static_cast<unsigned char*>(icon_alloc(entry->bytes));
    fseeko(file->stream, entry->offset, SEEK_SET);
    read_block(file->stream, data, entry->bytes);
    int result = 0;
    if (const char* fault = png_stream_fault(data, entry->bytes)) {
        result = skip_image(file, fault);
    } else if (file->options->list) {
        note_output(file, entry->offset, entry->bytes, name);
        result = keep_image(file, name);
    } else {
        result = write_png_bytes(file, entry->offset, entry->bytes, name, data);
    }
    free(data);
    return result;
}

// An entry holding a bitmap: read, decoded and written as PNG.
static int load_bitmap_entry(icon_file* file, const icon_entry* entry, const char* name)
{
    if (const char* written = already_written(file, entry->offset, 0, name))
        return keep_image(file, written);
    const char* fault = nullptr;
    icon_image* img = read_bitmap(file, entry, &fault);
    if (img == nullptr)
        return skip_image(file, fault);
    int result;
    if (file->options->list) {
        note_output(file, entry->offset, 0, name);
        result = keep_image(file, name);
    } else {
        gdImagePtr im = decode_bitmap(img);
        result = write_png(file, entry->offset, name, im);
        gdImageDestroy(im);
    }
    free_icon_image(img);
    return result;
}

// Converts or lists one directory entry.
static int load_icon_image(icon_file* file, const icon_entry* entry)
{
    begin_line(file, entry);
    if (const char* fault = entry_fault(entry))
        return skip_image(file, fault);
    // Sizes are within the limits now: the name's numbers fit an int.
    char* name = output_name(file, static_cast<int>(entry->width), static_cast<int>(entry->height), entry->bpp);
    int result = entry->png ? load_png_entry(file, entry, name) : load_bitmap_entry(file, entry, name);
    free(name);
    return result;
}

static bool selecting(const icon_options* o)
{
    return o->index != 0 || o->width != 0 || o->height != 0 || o->bit_depth != 0 || o->largest;
}

// Marks in chosen the entries that the options select, and returns their
// number. --largest keeps, of the entries that match the rest and that
// entry_fault accepts, the largest area, then the deepest, then the first.
static unsigned select_entries(const icon_options* o, const icon_entry* entries, unsigned count, bool* chosen)
{
    unsigned matched = 0;
    int best = -1;
    for (unsigned i = 0; i < count; i++) {
        const icon_entry& e = entries[i];
        chosen[i] = (o->index == 0 || o->index == e.number) && (o->width == 0 || o->width == e.width) &&
                    (o->height == 0 || o->height == e.height) && (o->bit_depth == 0 || o->bit_depth == e.bpp);
        if (!chosen[i])
            continue;
        matched++;
        if (!o->largest || entry_fault(&e) != nullptr)
            continue;
        if (best < 0) {
            best = static_cast<int>(i);
            continue;
        }
        const icon_entry& b = entries[best];
        int64_t area = e.width * e.height, best_area = b.width * b.height;
        if (area > best_area || (area == best_area && e.bpp > b.bpp))
            best = static_cast<int>(i);
    }
    if (!o->largest)
        return matched;
    for (unsigned i = 0; i < count; i++)
        chosen[i] = static_cast<int>(i) == best;
    return best < 0 ? 0 : 1;
}

int load_icon_file(icon_file* file)
{
    unsigned char field[kFileHeaderSize];
    read_block(file->stream, field, sizeof field);
    if (!is_icon_header(field))
        return kNotAnIcon;
    uint16_t type = GetLE16(field + 2), count = GetLE16(field + 4);
    file->cursor = type == kCursorType;

    size_t directory_size = count * kDirEntrySize;
    unsigned char* directory = static_cast<unsigned char*>(icon_alloc(directory_size));
    read_block(file->stream, directory, directory_size);
    icon_entry* entries = static_cast<icon_entry*>(icon_alloc(count * sizeof(icon_entry)));
    for (unsigned i = 0; i < count; i++)
        read_entry(file, directory + i * kDirEntrySize, i + 1, &entries[i]);
    free(directory);

    const icon_options* o = file->options;
    bool* chosen = static_cast<bool*>(icon_alloc(count));
    unsigned selected = select_entries(o, entries, count, chosen);
    int result = 0;
    if (selecting(o) && selected == 0) {
        result = kNoneSelected;
    } else if (o->to_stdout && !o->list && selected > 1) {
        result = kManySelected;
    } else {
        if (!o->list) {
            put_report_name(file, file->stem);
            fprintf(file->report, ": %d icons.\n", count);
        }
        for (unsigned i = 0; i < count; i++) {
            if (chosen[i] && load_icon_image(file, &entries[i]) != 0)
                result = -1;
            // Each line reaches its reader before the next image's work.
            fflush(file->report);
        }
    }
    free(chosen);
    free(entries);
    return result;
}
