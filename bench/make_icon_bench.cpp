// Writes the icon converter's benchmark inputs into the given folder:
//   ten.ico     ten images from 16 to 128 pixels at 4, 8, 24 and 32 bits,
//               and one 256-pixel image stored as PNG data
//   big32.ico   one 256 x 256 32-bit bitmap image
//   favicon.ico a 9 KB favicon: 16 and 32 pixels at 32 bits, 48 at 8 bits
//   program.exe a 1.2 MB PE32 program: a few bytes of code and one icon
//               group of ten bitmaps from 16 to 256 pixels (four of
//               256 x 256 at 32 bits) and a 256-pixel PNG image
#include <gd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "save_file.h"

#include "forgeexe.h"
#include "forgeico.h"

static IconPicture Picture(int size, int bits)
{
    IconPicture p;
    p.width = p.height = size;
    p.bits = bits;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); i++)
            p.palette.push_back(
                Rgba{static_cast<uint8_t>(i * 13), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 0});
    p.pixel = [bits](int x, int y) -> uint32_t {
        if (bits <= 8)
            return static_cast<uint32_t>((x / 3 + y / 5) % (1 << bits));
        uint32_t v = static_cast<uint32_t>(128 + 127 * std::sin(x * 0.1) * std::cos(y * 0.07));
        return (bits == 32 ? static_cast<uint32_t>((x + y) % 256) << 24 : 0) | v << 16 | (x * 2 & 0xFF) << 8 |
               (y * 2 & 0xFF);
    };
    p.masked = [](int x, int y) { return (x * y) % 7 == 0; };
    return p;
}

// A 256 x 256 RGBA image encoded by libgd, as modern icons store their
// largest image.
static std::string PngEntry()
{
    gdImagePtr im = gdImageCreateTrueColor(256, 256);
    gdImageSaveAlpha(im, 1);
    gdImageAlphaBlending(im, 0);
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 256; x++)
            gdImageSetPixel(im, x, y, gdTrueColorAlpha(x, y, (x * y) & 0xFF, (x + y) / 4));
    int size = 0;
    void* data = gdImagePngPtr(im, &size);
    std::string bytes(static_cast<const char*>(data), static_cast<size_t>(size));
    gdFree(data);
    gdImageDestroy(im);
    return bytes;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_icon_bench <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    const int sizes[] = {16, 24, 32, 48, 64, 96, 128, 32, 64};
    const int bits[] = {4, 8, 24, 32, 32, 24, 32, 8, 4};
    std::vector<std::string> images;
    for (int i = 0; i < 9; i++)
        images.push_back(BitmapData(Picture(sizes[i], bits[i])));
    images.push_back(PngEntry());
    std::string favicon =
        IconFile({BitmapData(Picture(16, 32)), BitmapData(Picture(32, 32)), BitmapData(Picture(48, 8))});
    std::vector<std::string> large(4, BitmapData(Picture(256, 32)));
    for (int i = 0; i < 6; i++)
        large.push_back(images[i]);
    large.push_back(PngEntry());
    Program program;
    program.resources = IconGroup(IconFile(large), "", 1, 1);
    return SaveFile(dir + "/ten.ico", IconFile(images)) &&
                   SaveFile(dir + "/big32.ico", IconFile({BitmapData(Picture(256, 32))})) &&
                   SaveFile(dir + "/favicon.ico", favicon) && SaveFile(dir + "/program.exe", PeFile(program))
               ? 0
               : 1;
}
