// The GD2 reader on the input's bytes, then libgd's PNG writer on every
// image it returns, into /dev/null. A returned image must have the size
// that the header gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gd2.h"
#include "gd_png.h"

static FILE* discard;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    discard = fopen("/dev/null", "w");
    return discard == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* fault = nullptr;
    gdImagePtr im = read_gd2(data, size, &fault);
    if (im == nullptr) {
        if (fault == nullptr)
            abort();
        return 0;
    }
    int width = static_cast<int16_t>(data[6] << 8 | data[7]), height = static_cast<int16_t>(data[8] << 8 | data[9]);
    if (gdImageSX(im) != width || gdImageSY(im) != height) {
        fprintf(stderr, "gd2_fuzz: image of %dx%d for a header of %dx%d\n", gdImageSX(im), gdImageSY(im), width,
                height);
        abort();
    }
    int error = 0;
    WritePng(im, discard, &error);
    gdImageDestroy(im);
    return 0;
}
