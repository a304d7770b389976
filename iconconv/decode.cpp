// Decoders from a bitmap icon image to a gd image, which the caller writes
// and destroys. Stored row r holds image row h - 1 - r (bottom row first);
// pixels are set in stored order. The 1-bit mask marks transparent pixels,
// except in 32-bit images, whose own alpha decides.
#include <cstdlib>
#include <cstring>

#include "decode.h"

// gd's alpha runs from 0 (opaque) to 127 (transparent).
enum { kGdOpaque = 0, kGdTransparent = 127 };

// gd gives no reason when it cannot create an image; the only one that
// bounded sizes leave is memory.
static gdImagePtr created(gdImagePtr im)
{
    if (im == nullptr) {
        perror("malloc");
        exit(1);
    }
    return im;
}

// A true-colour image whose pixels keep the alpha they are given, as the
// PNG file's alpha channel.
static gdImagePtr alpha_image(int w, int h)
{
    gdImagePtr im = created(gdImageCreateTrueColor(w, h));
    gdImageSaveAlpha(im, 1);
    gdImageAlphaBlending(im, 0);
    return im;
}

// 1 when the mask marks the pixel at stored row r, column x transparent.
static int check_transparency(int r, int x, const icon_image* img)
{
    uint8_t byte = img->mask[static_cast<uint64_t>(r) * mask_row_length(img) + x / 8];
    return (byte >> (7 - x % 8)) & 1;
}

static gdImagePtr decode_32bit(const icon_image* img)
{
    const int w = img->width, h = image_height(img);
    gdImagePtr im = alpha_image(w, h);
    for (int r = 0; r < h; r++) {
        const unsigned char* row = img->pixels + static_cast<size_t>(r) * w * 4;
        for (int x = 0; x < w; x++) {
            const unsigned char* p = row + x * 4;  // blue, green, red, alpha
            int colour = gdImageColorAllocateAlpha(im, p[2], p[1], p[0], kGdTransparent - p[3] / 2);
            gdImageSetPixel(im, x, h - 1 - r, colour);
        }
    }
    return im;
}

// The bits of a 16-bit pixel under mask, scaled to 0..255 and rounded
// down (a 5-bit 16 is 131), as Pillow scales 5-5-5 and 5-6-5 pixels.
static int channel(uint32_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        shift++;
    uint64_t most = mask >> shift, value = (pixel & mask) >> shift;
    return static_cast<int>(value * 255 / most);
}

static gdImagePtr decode_16bit(const icon_image* img)
{
    const int w = img->width, h = image_height(img);
    const uint64_t stride = colour_row_length(img);
    gdImagePtr im = alpha_image(w, h);
    for (int r = 0; r < h; r++) {
        const unsigned char* row = img->pixels + r * stride;
        for (int x = 0; x < w; x++) {
            uint32_t pixel = static_cast<uint32_t>(row[2 * x] | row[2 * x + 1] << 8);
            int alpha = check_transparency(r, x, img) ? kGdTransparent : kGdOpaque;
            int colour = gdTrueColorAlpha(channel(pixel, img->masks[0]), channel(pixel, img->masks[1]),
                                          channel(pixel, img->masks[2]), alpha);
            gdImageSetPixel(im, x, h - 1 - r, colour);
        }
    }
    return im;
}

static gdImagePtr decode_24bit(const icon_image* img)
{
    const int w = img->width, h = image_height(img);
    const uint64_t stride = colour_row_length(img);
    gdImagePtr im = created(gdImageCreateTrueColor(w, h));
    // Masked pixels take the key colour, which the PNG file marks as its
    // transparent colour.
    int key = gdImageColorResolve(im, 255, 0, 255);
    gdImageColorTransparent(im, key);
    for (int r = 0; r < h; r++) {
        const unsigned char* row = img->pixels + r * stride;
        for (int x = 0; x < w; x++) {
            const unsigned char* p = row + x * 3;  // blue, green, red
            int colour = check_transparency(r, x, img) ? key : gdImageColorResolve(im, p[2], p[1], p[0]);
            gdImageSetPixel(im, x, h - 1 - r, colour);
        }
    }
    return im;
}

// The palette index of the pixel at stored row r, column x.
static int palette_index(const icon_image* img, uint64_t stride, int r, int x)
{
    const int bits = img->bit_count;
    uint8_t byte = img->pixels[r * stride + static_cast<uint64_t>(x) * bits / 8];
    int shift = 8 - bits - (x * bits) % 8;  // leftmost pixel in the high bits
    return (byte >> shift) & ((1 << bits) - 1);
}

// A palette image whose every gd colour is used by an unmasked pixel while
// some pixels are masked leaves no index for transparency: it is written as
// a true-colour image with alpha instead.
static gdImagePtr palette_as_true_colour(const icon_image* img)
{
    const int w = img->width, h = image_height(img);
    const uint64_t stride = colour_row_length(img);
    gdImagePtr im = alpha_image(w, h);
    for (int r = 0; r < h; r++) {
        for (int x = 0; x < w; x++) {
            const unsigned char* entry = img->palette + palette_index(img, stride, r, x) * 4;
            int colour = check_transparency(r, x, img) ? gdTrueColorAlpha(0, 0, 0, kGdTransparent)
                                                       : gdTrueColorAlpha(entry[2], entry[1], entry[0], kGdOpaque);
            gdImageSetPixel(im, x, h - 1 - r, colour);
        }
    }
    return im;
}

static gdImagePtr decode_palette(const icon_image* img)
{
    const int w = img->width, h = image_height(img);
    const int entries = 1 << img->bit_count;
    const uint64_t stride = colour_row_length(img);
    gdImagePtr im = created(gdImageCreate(w, h));
    // Equal palette colours share one gd colour. An index past the entries
    // the file gave is black, made a gd colour only when a pixel shows it.
    int table[256];
    const int stored = static_cast<int>(img->palette_count) < entries ? static_cast<int>(img->palette_count) : entries;
    for (int i = 0; i < entries; i++) {
        const unsigned char* entry = img->palette + i * 4;  // blue, green, red, unused
        table[i] = i < stored ? gdImageColorResolve(im, entry[2], entry[1], entry[0]) : -1;
    }
    for (int r = 0; r < h && stored < entries; r++) {
        for (int x = 0; x < w; x++) {
            int& colour = table[palette_index(img, stride, r, x)];
            if (colour < 0 && !check_transparency(r, x, img))
                colour = gdImageColorResolve(im, 0, 0, 0);
        }
    }
    // The transparent index must be one that no unmasked pixel shows: the
    // first gd colour that none uses, else a new one while the palette has
    // room.
    bool used[gdMaxColors] = {};
    bool any_masked = false;
    for (int r = 0; r < h; r++) {
        for (int x = 0; x < w; x++) {
            if (check_transparency(r, x, img))
                any_masked = true;
            else
                used[table[palette_index(img, stride, r, x)]] = true;
        }
    }
    int transparent = -1;
    for (int i = 0; i < gdImageColorsTotal(im) && transparent < 0; i++)
        if (!used[i])
            transparent = i;
    if (transparent < 0 && gdImageColorsTotal(im) < gdMaxColors)
        transparent = gdImageColorAllocate(im, 0, 0, 0);
    if (transparent < 0 && any_masked) {
        gdImageDestroy(im);
        return palette_as_true_colour(img);
    }
    if (transparent >= 0)
        gdImageColorTransparent(im, transparent);
    for (int r = 0; r < h; r++) {
        for (int x = 0; x < w; x++) {
            int colour = check_transparency(r, x, img) ? transparent : table[palette_index(img, stride, r, x)];
            gdImageSetPixel(im, x, h - 1 - r, colour);
        }
    }
    return im;
}

gdImagePtr decode_bitmap(const icon_image* img)
{
    if (img->bit_count == 32)
        return decode_32bit(img);
    if (img->bit_count == 24)
        return decode_24bit(img);
    if (img->bit_count == 16)
        return decode_16bit(img);
    return decode_palette(img);
}
