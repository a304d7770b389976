// PNG files read back through libgd, for the tests of the programs that
// write them: size, kind and every pixel's colour and alpha.
#pragma once

#include <gd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "forgeico.h"

struct Seen {
    Rgba colour;
    int alpha;  // gd's 7-bit alpha: 0 opaque, 127 transparent
    bool transparent;
};

class Png {
public:
    explicit Png(const std::string& path)
    {
        FILE* f = fopen(path.c_str(), "rb");
        if (f != nullptr) {
            fIm = gdImageCreateFromPng(f);
            fclose(f);
        }
    }
    Png(const Png&) = delete;
    Png& operator=(const Png&) = delete;
    ~Png()
    {
        if (fIm != nullptr)
            gdImageDestroy(fIm);
    }
    bool ok() const { return fIm != nullptr; }
    gdImagePtr image() const { return fIm; }
    // Alpha (gd's 7 bits), red, green and blue of a pixel, whatever the
    // image's kind.
    uint32_t argb(int x, int y) const
    {
        int c = gdImageGetPixel(fIm, x, y);
        return static_cast<uint32_t>(gdImageAlpha(fIm, c)) << 24 | gdImageRed(fIm, c) << 16 |
               gdImageGreen(fIm, c) << 8 | gdImageBlue(fIm, c);
    }
    int width() const { return gdImageSX(fIm); }
    int height() const { return gdImageSY(fIm); }
    bool trueColour() const { return gdImageTrueColor(fIm); }
    Seen at(int x, int y) const
    {
        int c = gdImageGetPixel(fIm, x, y);
        int alpha = gdImageAlpha(fIm, c);
        Rgba rgb{static_cast<uint8_t>(gdImageRed(fIm, c)), static_cast<uint8_t>(gdImageGreen(fIm, c)),
                 static_cast<uint8_t>(gdImageBlue(fIm, c)), 0};
        int key = gdImageGetTransparent(fIm);
        bool transparent =
            alpha == gdAlphaMax || (key >= 0 && (trueColour() ? (c & 0xFFFFFF) == (key & 0xFFFFFF) : c == key));
        return {rgb, alpha, transparent};
    }

private:
    gdImagePtr fIm = nullptr;
};
