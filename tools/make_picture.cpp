// Draws the launcher's background picture, conv.jpg: 651 x 519 pixels with
// a title, a hint, panels behind the path display and the target list, and
// the About, Quit and Convert spots drawn exactly over the rectangles that
// react to clicks; and, given a folder, the launcher's desktop icon in the
// hicolor sizes as converter-SIZE.png.
// Usage: make_picture <output.jpg> [<icon folder>]
#include <gd.h>
#include <gdfontg.h>
#include <gdfontl.h>
#include <gdfonts.h>

#include <cstdio>
#include <string>
#include <cstring>

#include "Layout.h"

namespace {

enum { kWidth = 651, kHeight = 519 };

using Box = LayoutBox;

int Colour(gdImagePtr im, int r, int g, int b) { return gdImageColorResolve(im, r, g, b); }

// Text scaled up by an integer factor from one of gd's bitmap fonts.
void BigText(gdImagePtr im, gdFontPtr font, int x, int y, const char* text, int colour, int scale)
{
    int w = font->w * static_cast<int>(strlen(text)), h = font->h;
    gdImagePtr small = gdImageCreateTrueColor(w, h);
    gdImageAlphaBlending(small, 0);
    gdImageFilledRectangle(small, 0, 0, w - 1, h - 1, gdTrueColorAlpha(0, 0, 0, gdAlphaTransparent));
    gdImageString(small, font, 0, 0, reinterpret_cast<unsigned char*>(const_cast<char*>(text)), colour);
    gdImageAlphaBlending(im, 1);
    gdImageCopyResized(im, small, x, y, 0, 0, w * scale, h * scale, w, h);
    gdImageDestroy(small);
}

void Text(gdImagePtr im, gdFontPtr font, int x, int y, const char* text, int colour)
{
    gdImageString(im, font, x, y, reinterpret_cast<unsigned char*>(const_cast<char*>(text)), colour);
}

void CentredText(gdImagePtr im, gdFontPtr font, const Box& box, const char* text, int colour)
{
    int w = font->w * static_cast<int>(strlen(text));
    Text(im, font, (box.left + box.right + 1 - w) / 2, (box.top + box.bottom + 1 - font->h) / 2, text, colour);
}

// A button face filling the spot exactly: a light top-left edge, a dark
// bottom-right edge and a label.
void Button(gdImagePtr im, const Box& box, const char* label, gdFontPtr font, int face)
{
    gdImageFilledRectangle(im, box.left, box.top, box.right, box.bottom, face);
    int light = Colour(im, 235, 240, 250), dark = Colour(im, 40, 45, 70);
    gdImageLine(im, box.left, box.top, box.right, box.top, light);
    gdImageLine(im, box.left, box.top, box.left, box.bottom, light);
    gdImageLine(im, box.left, box.bottom, box.right, box.bottom, dark);
    gdImageLine(im, box.right, box.top, box.right, box.bottom, dark);
    CentredText(im, font, box, label, Colour(im, 255, 255, 255));
}

// A sunken panel around a control, a few pixels outside its rectangle.
void Panel(gdImagePtr im, const Box& box, int margin, const char* caption)
{
    Box b = {box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
    gdImageFilledRectangle(im, b.left, b.top, b.right, b.bottom, Colour(im, 238, 240, 245));
    gdImageRectangle(im, b.left, b.top, b.right, b.bottom, Colour(im, 30, 35, 60));
    Text(im, gdFontGetLarge(), b.left, b.top - 18, caption, Colour(im, 230, 235, 255));
}

// The desktop icon at size x size pixels: a blue tile with a file turning
// into another along an arrow, on a transparent background. Drawn on a
// 48-pixel grid, scaled.
bool WriteIcon(const char* path, int size)
{
    auto at = [size](int v) { return v * size / 48; };
    gdImagePtr im = gdImageCreateTrueColor(size, size);
    gdImageSaveAlpha(im, 1);
    gdImageAlphaBlending(im, 0);
    gdImageFilledRectangle(im, 0, 0, size - 1, size - 1, gdTrueColorAlpha(0, 0, 0, gdAlphaTransparent));
    gdImageAlphaBlending(im, 1);
    for (int y = at(2); y < size - at(2); y++) {
        int shade = y * 48 / size;
        gdImageLine(im, at(2), y, size - 1 - at(2), y, gdTrueColor(40 + shade, 70 + shade, 150 + shade));
    }
    int paper = gdTrueColor(245, 245, 250), ink = gdTrueColor(30, 40, 70), arrow = gdTrueColor(90, 220, 130);
    gdImageFilledRectangle(im, at(7), at(9), at(19), at(25), paper);
    gdImageRectangle(im, at(7), at(9), at(19), at(25), ink);
    gdImageFilledRectangle(im, at(28), at(22), at(40), at(38), paper);
    gdImageRectangle(im, at(28), at(22), at(40), at(38), ink);
    gdImageSetThickness(im, at(3) > 0 ? at(3) : 1);
    gdImageLine(im, at(15), at(30), at(24), at(30), arrow);
    gdImageSetThickness(im, 1);
    gdPoint head[3] = {{at(23), at(25)}, {at(23), at(35)}, {at(28), at(30)}};
    gdImageFilledPolygon(im, head, 3, arrow);
    for (int i = 0; i < 3; i++) {
        gdImageLine(im, at(9), at(13 + 4 * i), at(17), at(13 + 4 * i), ink);
        gdImageLine(im, at(30), at(26 + 4 * i), at(38), at(26 + 4 * i), ink);
    }
    FILE* out = fopen(path, "wb");
    if (out == nullptr) {
        gdImageDestroy(im);
        return false;
    }
    gdImagePng(im, out);
    bool ok = !ferror(out);
    ok = fclose(out) == 0 && ok;
    gdImageDestroy(im);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: make_picture <output.jpg> [<icon folder>]\n");
        return 1;
    }
    // The sizes of the hicolor icon theme that desktops ask for.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (argc != 3)
            break;
        std::string path = std::string(argv[2]) + "/converter-" + std::to_string(size) + ".png";
        if (!WriteIcon(path.c_str(), size)) {
            fprintf(stderr, "make_picture: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    gdImagePtr im = gdImageCreateTrueColor(kWidth, kHeight);
    // A vertical gradient from deep blue to slate.
    for (int y = 0; y < kHeight; y++) {
        int t = y * 255 / (kHeight - 1);
        gdImageLine(im, 0, y, kWidth - 1, y, Colour(im, 28 + t / 6, 42 + t / 5, 92 + t / 4));
    }
    int white = Colour(im, 255, 255, 255), pale = Colour(im, 200, 210, 240);
    BigText(im, gdFontGetGiant(), 40, 6, "Convert", white, 3);
    Text(im, gdFontGetLarge(), 44, 53, "3D models, icons and sounds, one drop away", pale);

    Panel(im, kPathDisplay, 3, "1. Drop a file:");
    Panel(im, kListFrame, 1, "2. Target:");
    Panel(im, kStatusLine, 2, "4. What happened:");

    // How to use it, beside the controls.
    const char* steps[] = {
        "Drop any file on the window: its path",
        "shows in the box on the left.",
        "",
        "Choose what to make of it in the list,",
        "then press Convert below.",
        "",
        "zelm:      3DS scene  -> C7E0 model (3ds)",
        "c7e2txt:   C7E0 model -> text",
        "icotopng:  icon       -> PNG files",
        "aiff ... opus: sound  -> output.<type>",
    };
    for (int i = 0; i < 10; i++)
        Text(im, gdFontGetSmall(), 360, 190 + 16 * i, steps[i], pale);
    Text(im, gdFontGetSmall(), 360, 138, "What is this? ->", pale);

    Button(im, kAboutSpot, "About", gdFontGetSmall(), Colour(im, 70, 110, 190));
    Button(im, kConvertSpot, "Convert", gdFontGetLarge(), Colour(im, 40, 150, 90));
    Button(im, kQuitSpot, "Quit", gdFontGetLarge(), Colour(im, 170, 60, 60));
    Text(im, gdFontGetLarge(), kConvertSpot.left, kConvertSpot.top - 22, "3. Press:", white);

    FILE* out = fopen(argv[1], "wb");
    if (out == nullptr) {
        perror(argv[1]);
        return 1;
    }
    gdImageJpeg(im, out, 92);
    bool ok = !ferror(out);
    ok = fclose(out) == 0 && ok;
    gdImageDestroy(im);
    if (!ok) {
        fprintf(stderr, "make_picture: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
