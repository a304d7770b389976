// The icon converter on an in-memory icon file of any kind it reads: the
// listing path (header, directory, selection, every check and the budget),
// then every bitmap entry read, decoded and encoded as PNG into a stream
// that discards it. Every decoded image must have the size that its header
// gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    discard = DiscardingStream();
    return 0;
}

static void DecodeEveryBitmap(FILE* in, size_t size)
{
    static const icon_options kToStdout = {nullptr, true, false, 0, 0, 0, 0, false, nullptr, 0};
    icon_run run = {};
    icon_file file;
    init_icon_file(&file, in, size, "fuzz.ico", &kToStdout, &run);
    file.report = discard;
    icon_entry* entries = nullptr;
    unsigned count = 0;
    read_entries(&file, &entries, &count);
    int64_t decoded = 0;
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
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = OpenAsFile(data, size);
    if (in == nullptr)
        return 0;
    static const icon_options kList = {nullptr, false, true, 0, 0, 0, 0, false, nullptr, 0};
    icon_run run = {};
    icon_file file;
    init_icon_file(&file, in, size, "fuzz.ico", &kList, &run);
    file.report = discard;
    load_icon_file(&file);
    free_icon_file(&file);
    free_icon_run(&run);
    DecodeEveryBitmap(in, size);
    fclose(in);
    return 0;
}
