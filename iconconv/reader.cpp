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
#include "containers.h"
#include "decode.h"
#include "icon.h"
#include "png_out.h"
#include "pixel_budget.h"

enum : size_t { kFileHeaderSize = 6, kDirEntrySize = 16, kBitmapHeaderSize = 40 };
enum : uint16_t { kIconType = 1, kCursorType = 2 };
// Larger images are skipped: a cap that keeps every block size (at most
// 4096 x 4096 x 4 bytes) well inside 64-bit and allocatable arithmetic.
enum : int32_t { kMaxDimension = 4096 };
static_assert(kUnbackedAllowance == uint64_t{kMaxDimension} * kMaxDimension, "one largest image without data");
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
    file->budget = UnbackedPixelBudget(size);
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

// Writes a name (a file's, an output's) into the report as the file's
// report stream needs it: escaped on a terminal, and in a listing with its
// control bytes escaped, so that one line is one image.
static void put_report_name(const icon_file* file, const char* name) { PutName(file->report, name, file->names); }

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

icon_kind kind_of(const unsigned char* head, const char** what)
{
    *what = nullptr;
    if (is_icon_header(head))
        return icon_kind::kIco;
    // OS/2: a bitmap array, or one icon or pointer, each with its two-letter
    // type; a bitmap array's first element holds an icon or a pointer.
    static const char* const kOs2Types[] = {"IC", "CI", "PT", "CP"};
    for (const char* type : kOs2Types)
        if (memcmp(head, type, 2) == 0 || (memcmp(head, "BA", 2) == 0 && memcmp(head + 14, type, 2) == 0))
            return icon_kind::kOs2;
    // Windows 1.x and 2.x: 1 (icon) or 3 (cursor), then 0, 1 or 2 for
    // device-independent, device-dependent or both.
    uint16_t width = GetLE16(head + 6), height = GetLE16(head + 8), row = GetLE16(head + 10);
    if ((head[0] == 1 || head[0] == 3) && head[1] <= 2 && width != 0 && height != 0 && row >= (width + 7) / 8)
        return icon_kind::kWin1;
    static const struct {
        const char* magic;
        size_t length;
        const char* what;
    } kKnown[] = {
        {"BM", 2, "a BMP image"},
        {"\x89PNG\r\n\x1a\n", 8, "a PNG image"},
        {"GIF87a", 6, "a GIF image"},
        {"GIF89a", 6, "a GIF image"},
        {"\xff\xd8\xff", 3, "a JPEG image"},
        {"RIFF", 4, "a RIFF file of another kind"},
    };
    // A RIFF file's form type follows its size; a program's headers begin
    // with MZ.
    if (memcmp(head, "RIFF", 4) == 0 && memcmp(head + 8, "ACON", 4) == 0)
        return icon_kind::kAni;
    if (memcmp(head, "MZ", 2) == 0)
        return icon_kind::kProgram;
    for (const auto& k : kKnown)
        if (memcmp(head, k.magic, k.length) == 0)
            *what = k.what;
    return icon_kind::kNone;
}

int load_icon(const char* path, const icon_options* options, icon_run* run)
{
    struct stat status;
    FILE* stream = OpenInput(path, &status);
    if (stream == nullptr)
        return report_file_error(path, strerror(errno));
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
    if (fseeko(stream, 0, SEEK_CUR) != 0 &&
        (stream = SeekableStream(stream, uint64_t{1} << 32, kPipeMemory)) == nullptr)
        return report_file_error(path, strerror(errno));
    // The kind is told by the first bytes, before a pipe is read to its end.
    unsigned char head[kKindBytes];
    read_block(stream, head, sizeof head);
    const char* what = nullptr;
    if (kind_of(head, &what) == icon_kind::kNone) {
        fclose(stream);
        if (what == nullptr)
            return report_file_error(path, "not an icon or cursor file");
        char reason[64];
        snprintf(reason, sizeof reason, "%s, not an icon", what);
        return report_file_error(path, reason);
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
    const char* refusal = nullptr;
    int result = load_icon_file(&file, &refusal);
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
    case kRefused:
        return report_file_error(path, refusal);
    default:
        return result;
    }
}

// The default masks of a 16-bit image: 5 bits each of red, green, blue.
static const uint32_t kMasks555[3] = {0x7C00, 0x03E0, 0x001F};
enum : uint32_t { kBitFields = 3 };

// Where an ICO bitmap's palette, colour rows and mask rows lie. The palette
// begins after the 40-byte header, or after a later header version's
// larger one (108 and 124 bytes), whose size is trusted only when it fits
// in the file. It holds 2^bits entries, or as many as the header's colours
// used when that is fewer, and the colour rows follow it at once. A 16-bit
// image has no palette but may have bit fields: three masks after a 40-byte
// header, inside a larger one.
static void place_bitmap_blocks(icon_file* file, icon_entry* entry)
{
    const unsigned char* head = entry->head;
    uint32_t header_size = GetLE32(head);
    uint64_t start = uint64_t{entry->offset} + kBitmapHeaderSize;
    if (header_size > kBitmapHeaderSize && entry->offset <= file->size && header_size <= file->size - entry->offset)
        start = uint64_t{entry->offset} + header_size;
    entry->palette_at = start;
    entry->palette_entry = 4;
    entry->compression = GetLE32(head + 16);
    const int64_t bits = entry->bpp;
    if (bits >= 1 && bits <= 8) {
        uint32_t used = GetLE32(head + 32), full = 1u << bits;
        entry->palette_count = used > 0 && used < full ? used : full;
    } else if (bits == 16) {
        memcpy(entry->masks, kMasks555, sizeof entry->masks);
        if (entry->compression == kBitFields && entry->offset < file->size) {
            unsigned char fields[12];
            fseeko(file->stream, static_cast<off_t>(entry->offset) + kBitmapHeaderSize, SEEK_SET);
            read_block(file->stream, fields, sizeof fields);
            for (int i = 0; i < 3; i++)
                entry->masks[i] = GetLE32(fields + 4 * i);
            if (start == uint64_t{entry->offset} + kBitmapHeaderSize)
                start += sizeof fields;
        }
    }
    entry->pixels_at = start + uint64_t{entry->palette_count} * entry->palette_entry;
    // Meaningful only for the sizes entry_fault accepts.
    if (entry->width > 0 && entry->width <= kMaxDimension && entry->height > 0 && bits > 0 && bits <= 32)
        entry->mask_at = entry->pixels_at + (static_cast<uint64_t>(entry->width) * static_cast<uint64_t>(bits) + 31) /
                                                32 * 4 * static_cast<uint64_t>(entry->height);
}

void read_entry(icon_file* file, const unsigned char* dir, unsigned number, icon_entry* entry)
{
    *entry = icon_entry{};
    entry->number = number;
    entry->hotspot_x = GetLE16(dir + 4);
    entry->hotspot_y = GetLE16(dir + 6);
    entry->bytes = GetLE32(dir + 8);
    entry->offset = GetLE32(dir + 12);
    // Past the end of the file the head stays zeros, without a read: a
    // read there asks the system again each time, and a small file may
    // hold 65,535 such entries.
    if (entry->offset < file->size) {
        fseeko(file->stream, entry->offset, SEEK_SET);
        read_block(file->stream, entry->head, sizeof entry->head);
    }
    const unsigned char* head = entry->head;
    if (memcmp(head, kPngSignature, sizeof kPngSignature) == 0) {
        // Channels per colour type (0 grey, 2 RGB, 3 palette, 4 grey+alpha,
        // 6 RGBA); other types count none.
        static const unsigned kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
        unsigned colour_type = head[25];
        entry->width = GetBE32(head + 16);
        entry->height = GetBE32(head + 20);
        entry->bpp = static_cast<int>(head[24] * (colour_type < 7 ? kChannels[colour_type] : 0));
        entry->size_field = entry->bytes;
        entry->store = image_store::kPng;
    } else {
        entry->width = static_cast<int32_t>(GetLE32(head + 4));
        entry->height = static_cast<int32_t>(GetLE32(head + 8)) / 2;
        entry->bpp = static_cast<int16_t>(GetLE16(head + 14));
        entry->size_field = static_cast<int32_t>(GetLE32(head + 20));
        entry->store = image_store::kIcoBitmap;
        place_bitmap_blocks(file, entry);
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
    if (entry->fault != nullptr)
        return entry->fault;
    if (entry->store == image_store::kPng)
        return png_header_valid(entry->head) ? nullptr : "not a valid PNG image";
    const int bits = entry->bpp;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        static char reason[64];
        snprintf(reason, sizeof reason, "%d bits per pixel not supported", bits);
        return reason;
    }
    if (entry->width <= 0 || entry->height <= 0 || entry->width > kMaxDimension || entry->height > kMaxDimension)
        return "image size out of range";
    if (bits == 16 && entry->compression != 0 && entry->compression != kBitFields)
        return "compression of a 16-bit image not supported";
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

// The bytes of a block of size bytes at position at that the file holds.
static uint64_t held(const icon_file* file, uint64_t at, uint64_t size)
{
    uint64_t available = at < file->size ? file->size - at : 0;
    return available < size ? available : size;
}

// The pixels of an image whose colour bytes (pixels_size of them, at
// pixels_at) and mask bytes lie beyond the end of the file, in proportion.
static uint64_t unbacked_pixels(const icon_file* file, uint64_t pixels_at, uint64_t mask_at, uint64_t pixels_size,
                                uint64_t mask_size, uint64_t pixels)
{
    uint64_t needed = pixels_size + mask_size;
    uint64_t available = held(file, pixels_at, pixels_size) + held(file, mask_at, mask_size);
    if (needed == 0 || available >= needed)
        return 0;
    // needed is below 2^27 and pixels at most 2^24: the product fits.
    return ((needed - available) * pixels + needed - 1) / needed;
}

// Reads height rows stored row_bytes apart (a bitmap's own padding; 0: the
// same 4-byte padding) into rows padded to 4 bytes, bottom row first; the
// bytes past the file read as 0.
static void read_rows(FILE* stream, const icon_entry* entry, uint64_t at, unsigned char* rows, uint64_t padded,
                      uint64_t height)
{
    fseeko(stream, static_cast<off_t>(at), SEEK_SET);
    if (entry->row_bytes == 0 && !entry->top_down) {
        read_into_zeroed(stream, rows, static_cast<size_t>(padded * height));
        return;
    }
    const uint64_t stored = entry->row_bytes != 0 ? entry->row_bytes : padded;
    const uint64_t kept = stored < padded ? stored : padded;
    for (uint64_t r = 0; r < height; r++) {
        unsigned char* row = rows + (entry->top_down ? height - 1 - r : r) * padded;
        fseeko(stream, static_cast<off_t>(at + r * stored), SEEK_SET);
        read_into_zeroed(stream, row, static_cast<size_t>(kept));
    }
}

icon_image* read_bitmap(icon_file* file, const icon_entry* entry, const char** fault)
{
    icon_image* img = static_cast<icon_image*>(icon_alloc(sizeof(icon_image)));
    // entry_fault accepted the sizes: they fit the fields.
    img->width = static_cast<int32_t>(entry->width);
    img->height = static_cast<int32_t>(entry->height * 2);
    img->bit_count = static_cast<int16_t>(entry->bpp);
    img->compression = entry->compression;
    memcpy(img->masks, entry->masks, sizeof img->masks);
    const int bits = img->bit_count;
    const size_t palette_size = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
    const uint64_t height = static_cast<uint64_t>(entry->height);
    const size_t pixels_size = static_cast<size_t>(colour_row_length(img) * height);
    const size_t mask_size = static_cast<size_t>(mask_row_length(img) * height);
    const uint64_t pixels = static_cast<uint64_t>(entry->width) * height;
    uint64_t unbacked = unbacked_pixels(file, entry->pixels_at, entry->mask_at, pixels_size, mask_size, pixels);
    if (!spend(&file->budget, unbacked)) {
        free(img);
        *fault = "the file is too small for all its images";
        return nullptr;
    }
    FILE* stream = file->stream;
    if (palette_size != 0) {
        const uint32_t full = 1u << bits, count = entry->palette_count < full ? entry->palette_count : full;
        img->palette = static_cast<unsigned char*>(icon_alloc(palette_size));
        img->palette_count = count;
        unsigned char stored[256 * 4];
        fseeko(stream, static_cast<off_t>(entry->palette_at), SEEK_SET);
        read_block(stream, stored, count * entry->palette_entry);
        for (uint32_t i = 0; i < count; i++)
            memcpy(img->palette + i * 4, stored + i * entry->palette_entry, 3);
        // Windows 1.x bitmaps have no palette: XOR 0 is black, 1 white.
        if (entry->store == image_store::kWin1) {
            memset(img->palette + 4, 0xFF, 3);
            img->palette_count = 2;
        }
    }
    img->pixels = static_cast<unsigned char*>(icon_alloc(pixels_size));
    read_rows(stream, entry, entry->pixels_at, img->pixels, colour_row_length(img), height);
    img->mask = static_cast<unsigned char*>(icon_alloc(mask_size));
    read_rows(stream, entry, entry->mask_at, img->mask, mask_row_length(img), height);
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
    if (file->shown != nullptr) {
        fputs(": ", file->report);
        put_report_name(file, file->shown);
    }
    fprintf(file->report, ": %u: %ldx%ld %dbpp %s %lu bytes", entry->number, static_cast<long>(entry->width),
            static_cast<long>(entry->height), entry->bpp, entry->store == image_store::kPng ? "png" : "bitmap",
            static_cast<unsigned long>(entry->bytes));
    if (entry->cursor)
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

// Ends the report line of an image written, or not written, as outcome
// says, and frees its name.
static int end_line(const icon_file* file, png_outcome outcome)
{
    int result = 0;
    if (outcome.failure == kOutputWasInput) {
        fprintf(file->report, "skipped: the output ");
        put_report_name(file, outcome.name);
        fprintf(file->report, " is the input file)\n");
        result = -1;
    } else if (outcome.failure != nullptr) {
        fprintf(file->report, "%s ", outcome.failure);
        put_report_name(file, outcome.name);
        fprintf(file->report, "%s%s)\n", outcome.error != 0 ? ": " : "",
                outcome.error != 0 ? strerror(outcome.error) : "");
        result = -1;
    } else {
        put_report_name(file, outcome.name);
        fprintf(file->report, ")\n");
    }
    free(outcome.name);
    return result;
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
        result = end_line(file, write_png_bytes(file, entry->offset, entry->bytes, name, data));
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
        result = end_line(file, write_png(file, entry->offset, name, im));
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
    int result =
        entry->store == image_store::kPng ? load_png_entry(file, entry, name) : load_bitmap_entry(file, entry, name);
    free(name);
    return result;
}

// Whether the options choose among the images by their number, size or
// depth (--group and --frame choose among a container's members).
static bool choosing_images(const icon_options* o)
{
    return o->index != 0 || o->width != 0 || o->height != 0 || o->bit_depth != 0 || o->largest;
}

static bool selecting(const icon_options* o) { return choosing_images(o) || o->group != nullptr || o->frame != 0; }

// Marks in chosen the entries that the options select, of those allowed
// (all when allowed is null), and returns their number. --largest keeps,
// of the entries that match the rest and that entry_fault accepts, the
// largest area, then the deepest, then the first.
static unsigned select_entries(const icon_options* o, const icon_entry* entries, unsigned count, bool* chosen,
                               const bool* allowed = nullptr)
{
    unsigned matched = 0;
    int best = -1;
    for (unsigned i = 0; i < count; i++) {
        const icon_entry& e = entries[i];
        chosen[i] = (allowed == nullptr || allowed[i]) && (o->index == 0 || o->index == e.number) &&
                    (o->width == 0 || o->width == e.width) && (o->height == 0 || o->height == e.height) &&
                    (o->bit_depth == 0 || o->bit_depth == e.bpp);
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

icon_entry* add_entry(icon_entry** entries, unsigned* count)
{
    // Grown in powers of two: the array is copied whenever the count
    // reaches one.
    if (*count == 0 || (*count & (*count - 1)) == 0) {
        size_t capacity = *count == 0 ? 1 : 2 * size_t{*count};
        icon_entry* grown = static_cast<icon_entry*>(icon_alloc(capacity * sizeof(icon_entry)));
        if (*count > 0)
            memcpy(grown, *entries, *count * sizeof(icon_entry));
        free(*entries);
        *entries = grown;
    }
    icon_entry* entry = &(*entries)[(*count)++];
    *entry = icon_entry{};
    entry->number = *count;
    return entry;
}

int read_entries(icon_file* file, icon_entry** entries, unsigned* count)
{
    *entries = nullptr;
    *count = 0;
    unsigned char head[kKindBytes];
    rewind(file->stream);
    read_block(file->stream, head, sizeof head);
    const char* what;
    switch (kind_of(head, &what)) {
    case icon_kind::kNone:
    case icon_kind::kAni:
    case icon_kind::kProgram:
        return kNotAnIcon;
    case icon_kind::kOs2:
        read_os2_entries(file, entries, count);
        return 0;
    case icon_kind::kWin1:
        read_win1_entries(file, entries, count);
        return 0;
    case icon_kind::kIco:
        break;
    }
    const bool cursor = GetLE16(head + 2) == kCursorType;
    const unsigned n = GetLE16(head + 4);
    size_t directory_size = n * kDirEntrySize;
    unsigned char* directory = static_cast<unsigned char*>(icon_alloc(directory_size));
    fseeko(file->stream, kFileHeaderSize, SEEK_SET);
    read_block(file->stream, directory, directory_size);
    *entries = static_cast<icon_entry*>(icon_alloc(n * sizeof(icon_entry)));
    for (unsigned i = 0; i < n; i++) {
        const unsigned char* dir = directory + i * kDirEntrySize;
        icon_entry* e = &(*entries)[i];
        // An entry that repeats the one before (the zeros of a directory
        // that runs past the end of the file, say) is that entry again,
        // without reading its head once more.
        if (i > 0 && memcmp(dir, dir - kDirEntrySize, kDirEntrySize) == 0) {
            *e = e[-1];
            e->number = i + 1;
            continue;
        }
        read_entry(file, dir, i + 1, e);
        e->cursor = cursor;
    }
    *count = n;
    free(directory);
    return 0;
}

// Whether a selection of that many images can go on: kNoneSelected when
// the options select and nothing matches, kManySelected when -o - would
// get more than one image, else 0.
static int selection_fault(const icon_options* o, unsigned selected)
{
    if (selecting(o) && selected == 0)
        return kNoneSelected;
    if (o->to_stdout && !o->list && selected > 1)
        return kManySelected;
    return 0;
}

// One member of a container while its images are chosen and converted:
// its file in memory, and where its entries lie in the container's list.
struct member_file {
    icon_file sub;
    FILE* stream;
    unsigned first, count;
};

// Opens a member's data as a file of its own, named after the container
// (the member's label after the stem), and reads its entries onto the end
// of the container's list, numbered on from it. False when it holds none.
static bool open_member(icon_file* file, icon_member* member, member_file* part, icon_entry** all, unsigned* total)
{
    part->first = *total;
    if (member->data == nullptr)
        return false;
    if ((part->stream = fmemopen(member->data, member->size, "rb")) == nullptr) {
        snprintf(member->fault, sizeof member->fault, "%s", strerror(errno));
        return false;
    }
    init_icon_file(&part->sub, part->stream, member->size, file->path, file->options, file->run);
    size_t length = strlen(file->stem) + strlen(member->label) + 2;
    free(part->sub.stem);
    part->sub.stem = static_cast<char*>(icon_alloc(length));
    snprintf(part->sub.stem, length, "%s_%s", file->stem, member->label);
    part->sub.shown = member->shown;
    part->sub.report = file->report;
    part->sub.names = file->names;
    part->sub.device = file->device;
    part->sub.inode = file->inode;
    icon_entry* entries;
    unsigned count;
    if (read_entries(&part->sub, &entries, &count) != 0) {
        snprintf(member->fault, sizeof member->fault, "not an icon or cursor");
        return false;
    }
    for (unsigned a = 0; a < member->absent_count; a++) {
        const absent_image& gone = member->absent[a];
        if (gone.position >= count)
            continue;
        icon_entry& e = entries[gone.position];
        e.fault = gone.reason;
        e.width = gone.width;
        e.height = gone.height;
        e.bpp = gone.bpp;
        e.size_field = 0;
    }
    // Grown in powers of two, as add_entry grows its array.
    for (unsigned i = 0; i < count; i++) {
        icon_entry* e = add_entry(all, total);
        unsigned number = e->number;
        *e = entries[i];
        e->number = number;
    }
    part->count = count;
    free(entries);
    return true;
}

// Converts or lists the images of an animated cursor or a program: every
// member's images are numbered in one list, chosen from it, and each
// converted through its member's file.
static int load_container_file(icon_file* file, icon_kind kind, const char** refusal)
{
    icon_container container;
    if (const char* why = read_container(file, kind, &container)) {
        free_container(&container);
        if (refusal != nullptr)
            *refusal = why;
        return kRefused;
    }
    const icon_options* o = file->options;
    auto* parts = static_cast<member_file*>(icon_alloc(container.count * sizeof(member_file) + 1));
    icon_entry* entries = nullptr;
    unsigned total = 0;
    for (unsigned m = 0; m < container.count; m++)
        open_member(file, &container.members[m], &parts[m], &entries, &total);
    bool* allowed = static_cast<bool*>(icon_alloc(total + 1));
    bool* chosen = static_cast<bool*>(icon_alloc(total + 1));
    for (unsigned m = 0; m < container.count; m++)
        for (unsigned i = 0; i < parts[m].count; i++)
            allowed[parts[m].first + i] = member_chosen(&container.members[m], o);
    int result = selection_fault(o, select_entries(o, entries, total, chosen, allowed));
    if (result == 0) {
        for (unsigned m = 0; m < container.count; m++) {
            const icon_member& member = container.members[m];
            member_file& part = parts[m];
            if (!member_chosen(&member, o))
                continue;
            // A member that cannot be read is reported unless images are
            // chosen by number, size or depth.
            if (member.fault[0] != '\0') {
                if (choosing_images(o))
                    continue;
                put_report_name(file, o->list ? file->path : file->stem);
                fputs(o->list ? ": " : "_", file->report);
                put_report_name(file, o->list ? member.shown : member.label);
                fprintf(file->report, ": skipped: %s\n", member.fault);
                result = -1;
                continue;
            }
            unsigned chosen_here = 0;
            for (unsigned i = 0; i < part.count; i++)
                chosen_here += chosen[part.first + i];
            if (chosen_here > 0 && !o->list) {
                put_report_name(file, part.sub.stem);
                fprintf(file->report, ": %u icons.\n", part.count);
            }
            for (unsigned i = 0; i < part.count; i++) {
                if (!chosen[part.first + i])
                    continue;
                // The member's pixels without data come out of the
                // container's budget.
                part.sub.budget = file->budget;
                if (load_icon_image(&part.sub, &entries[part.first + i]) != 0)
                    result = -1;
                file->budget = part.sub.budget;
                fflush(file->report);
            }
        }
        if (o->list && container.summary != nullptr && !choosing_images(o) && o->group == nullptr) {
            put_report_name(file, file->path);
            fprintf(file->report, ": %s\n", container.summary);
        }
    }
    for (unsigned m = 0; m < container.count; m++) {
        if (parts[m].stream == nullptr)
            continue;
        free_icon_file(&parts[m].sub);
        fclose(parts[m].stream);
    }
    free(parts);
    free(allowed);
    free(chosen);
    free(entries);
    free_container(&container);
    return result;
}

int load_icon_file(icon_file* file, const char** refusal)
{
    unsigned char head[kKindBytes];
    rewind(file->stream);
    read_block(file->stream, head, sizeof head);
    const char* what;
    const icon_kind kind = kind_of(head, &what);
    if (kind == icon_kind::kAni || kind == icon_kind::kProgram)
        return load_container_file(file, kind, refusal);
    icon_entry* entries;
    unsigned count;
    if (read_entries(file, &entries, &count) != 0)
        return kNotAnIcon;

    const icon_options* o = file->options;
    bool* chosen = static_cast<bool*>(icon_alloc(count));
    int result = selection_fault(o, select_entries(o, entries, count, chosen));
    if (result == 0) {
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
