// The icon converter on an in-memory icon file of any kind it reads: the
// listing as the program makes it from the file's name (opening, the kind,
// header, directory, selection, every check and the budget),
// then every bitmap entry read, decoded and encoded as PNG into a stream
// that discards it, and for a small file the whole conversion into PNG
// files in a scratch folder under /tmp. Every decoded image must have the
// size that its header gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "file_input.h"
#include "decode.h"
#include "icon.h"
#include "png_out.h"

static FILE* discard;

// Past a megapixel of one input (a few bytes can ask for a 4096 x
// 4096 image, or sixteen of 1024 x 1024, without data) images are listed
// and checked but not decoded: under the sanitizers so many pixels outlast
// the run's one-second limit, while their loops are the ones small images
// take.
static const int64_t kMaxDecodedPixels = int64_t{1} << 20;
// A file of more entries is not converted whole: its listing and decoding
// above already take each entry's paths, and a third pass over 65,535
// entries would outlast the limit too.
static const unsigned kMaxConvertedEntries = 256;

// A scratch folder outside the working tree for the PNG files of whole
// conversions, emptied and removed when the run ends.
static char scratch[] = "/tmp/icon_fuzz-XXXXXX";

static void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    discard = DiscardingStream();
    // Listings and -o - write to standard output: into the discarding
    // stream (the GNU C library lets stdout be set), without a system call
    // for each of up to 65,535 lines, and its descriptor to /dev/null.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    stdout = discard;
    if (mkdtemp(scratch) == nullptr)
        abort();
    atexit(RemoveScratch);
    return 0;
}

// Decodes every bitmap entry, as long as the pixels decoded stay within
// kMaxDecodedPixels; returns whether every entry of the file fits there
// (PNG entries too) and the file has at most kMaxConvertedEntries, so that
// a whole conversion is as cheap.
static bool DecodeEveryBitmap(FILE* in, size_t size)
{
    static const icon_options kToStdout = {nullptr, true, false, 0, 0, 0, 0, false, nullptr, 0};
    icon_run run = {};
    icon_file file;
    init_icon_file(&file, in, size, "fuzz.ico", &kToStdout, &run);
    file.report = discard;
    icon_entry* entries = nullptr;
    unsigned count = 0;
    read_entries(&file, &entries, &count);
    int64_t decoded = 0, all = 0;
    // Headers may give any 32-bit size: one past the limit each way ends
    // the count, so that no product or sum overflows.
    for (unsigned i = 0; i < count && all <= kMaxDecodedPixels; i++) {
        const icon_entry& e = entries[i];
        if (e.width > kMaxDecodedPixels || e.height > kMaxDecodedPixels)
            all = kMaxDecodedPixels + 1;
        else if (e.width > 0 && e.height > 0)
            all += e.width * e.height;
    }
    for (unsigned i = 0; i < count; i++) {
        const icon_entry& entry = entries[i];
        if (entry.store == image_store::kPng || entry_fault(&entry) != nullptr ||
            entry.width * entry.height > kMaxDecodedPixels - decoded)
            continue;
        decoded += entry.width * entry.height;
        const char* fault = nullptr;
        icon_image* img = read_bitmap(&file, &entry, &fault);
        if (img == nullptr)
            continue;
        gdImagePtr im = decode_bitmap(img);
        if (gdImageSX(im) != entry.width || gdImageSY(im) != entry.height) {
            fprintf(stderr, "icon_fuzz: image of %dx%d for a header of %ldx%ld\n", gdImageSX(im), gdImageSY(im),
                    static_cast<long>(entry.width), static_cast<long>(entry.height));
            abort();
        }
        free(write_png(&file, entry.offset, "fuzz.png", im).name);
        gdImageDestroy(im);
        free_icon_image(img);
    }
    free(entries);
    free_icon_file(&file);
    free_icon_run(&run);
    return all <= kMaxDecodedPixels && count <= kMaxConvertedEntries;
}

// The whole conversion of a small file into PNG files in the scratch
// folder: names, repeated entries, the output files.
static void ConvertIntoFiles(FILE* in, size_t size)
{
    static const icon_options kIntoFolder = {scratch, false, false, 0, 0, 0, 0, false, nullptr, 0};
    icon_run run = {};
    icon_file file;
    static const std::string kPath = std::string(scratch) + "/fuzz.ico";
    init_icon_file(&file, in, size, kPath.c_str(), &kIntoFolder, &run);
    file.report = discard;
    load_icon_file(&file);
    free_icon_file(&file);
    free_icon_run(&run);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = OpenAsFile(data, size);
    if (in == nullptr)
        return 0;
    // The listing as the program makes it, from the file's name: opening,
    // telling the kind, and every refusal's message (on standard error);
    // the input's length picks the selection it lists.
    static const icon_options kListings[] = {
        {nullptr, false, true, 0, 0, 0, 0, false, nullptr, 0},  // --list
        {nullptr, false, true, 0, 0, 0, 0, true, nullptr, 0},  // --list --largest
        {nullptr, false, true, 2, 0, 0, 0, false, nullptr, 0},  // --list --index=2
        {nullptr, false, true, 0, 32, 32, 32, false, nullptr, 0},  // --list --width=32 --height=32 --bit-depth=32
        {nullptr, false, true, 0, 0, 0, 0, false, "1", 2},  // --list --group=1 --frame=2
    };
    char path[64];
    snprintf(path, sizeof path, "/proc/self/fd/%d", fileno(in));
    icon_run run = {};
    load_icon(path, &kListings[size % 5], &run);
    free_icon_run(&run);
    if (DecodeEveryBitmap(in, size)) {
        ConvertIntoFiles(in, size);
        // -o -: one image to standard output, or the refusal of many.
        static const icon_options kToStdout[] = {
            {nullptr, true, false, 0, 0, 0, 0, false, nullptr, 0},
            {nullptr, true, false, 0, 0, 0, 0, true, nullptr, 0},
        };
        load_icon(path, &kToStdout[size % 2], &run);
        free_icon_run(&run);
    }
    fclose(in);
    return 0;
}
