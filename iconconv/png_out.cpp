// PNG output: files named after the input's stem, the image's size and its
// bit depth, written beside the input.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "icon.h"

static char* output_name(int width, int height, int bpp)
{
    // 64 characters hold every suffix the format can produce.
    size_t size = strlen(global_file_name) + 64;
    char* name = static_cast<char*>(icon_alloc(size));
    snprintf(name, size, "%s_%02dX%02d_%dbpp.png", global_file_name, width, height, bpp);
    return name;
}

// Closes the stream; on any write error removes the partial file (only a
// regular file). Returns whether everything reached the file.
static bool finish_file(FILE* out, const char* name)
{
    bool ok = !ferror(out);
    ok = fclose(out) == 0 && ok;
    struct stat status;
    if (!ok && lstat(name, &status) == 0 && S_ISREG(status.st_mode))
        remove(name);
    return ok;
}

// Completes the report line with the file written, or says that it was not.
static int report(const char* name, bool opened, bool written)
{
    if (written) {
        printf("%s)\n", name);
        return 0;
    }
    printf("%s %s)\n", opened ? "error writing" : "cannot create", name);
    exit_status = 2;
    return -1;
}

void (*on_image_decoded)(const icon_image*, gdImagePtr) = nullptr;

int write_png(const icon_image* img, gdImagePtr im)
{
    if (on_image_decoded != nullptr)
        on_image_decoded(img, im);
    char* name = output_name(img->width, image_height(img), img->bit_count);
    FILE* out = fopen(name, "wb");
    bool written = false;
    if (out != nullptr) {
        gdImagePng(im, out);
        written = finish_file(out, name);
    }
    gdImageDestroy(im);
    int result = report(name, out != nullptr, written);
    free(name);
    return result;
}

int write_png_bytes(const unsigned char* data, size_t size, int width, int height, int bpp)
{
    char* name = output_name(width, height, bpp);
    FILE* out = fopen(name, "wb");
    bool written = false;
    if (out != nullptr) {
        fwrite(data, 1, size, out);
        written = finish_file(out, name);
    }
    int result = report(name, out != nullptr, written);
    free(name);
    return result;
}
