// The icon converter's reader and decoders on an in-memory icon file, the
// PNG files written through libgd into a scratch folder. Every decoded
// image must have the size that its header gives.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "icon.h"

static std::string stem;
static std::string scratch;

static void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

static void CheckImage(const icon_image* img, gdImagePtr im)
{
    if (gdImageSX(im) != img->width || gdImageSY(im) != image_height(img)) {
        fprintf(stderr, "icon_fuzz: image of %dx%d for a header of %dx%d\n", gdImageSX(im), gdImageSY(im), img->width,
                image_height(img));
        abort();
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    char dir[] = "/tmp/icon_fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        abort();
    scratch = dir;
    atexit(RemoveScratch);
    stem = scratch + "/out";
    on_image_decoded = CheckImage;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> input(data, data + size);
    FILE* in = fmemopen(input.empty() ? nullptr : input.data(), input.size(), "rb");
    if (in == nullptr)
        return 0;
    free(global_file_name);
    global_file_name = strdup(stem.c_str());
    icon_file file = {in, input.size(), 0, 0, 0, nullptr, 0, 0};
    load_icon_file(&file);
    free_outputs(&file);
    fclose(in);
    return 0;
}
