// pngsmith on icons built in the test: every pixel of the PNG files read
// back through libgd, the report lines, the output names, hostile files.
#include <gd.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <regex>

#include "icon.h"
#include "png_out.h"
#include "forgeico.h"
#include "png_readback.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::Bytes;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

const std::string kPngsmith = BIN_DIR "/pngsmith";

// Converts the icon in a scratch folder as app.ico.
struct Conversion {
    TempDir dir;
    RunResult run;
    std::string path(const std::string& name) const { return dir / name; }
};

std::unique_ptr<Conversion> Convert(const std::string& icon, const std::string& name = "app.ico")
{
    auto c = std::make_unique<Conversion>();
    testutil::WriteFile(c->dir / name, icon);
    c->run = RunProgram({kPngsmith, c->dir / name});
    return c;
}

Rgba PaletteColour(int i)
{
    return {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 11 + 3), 0};
}

// Every pixel of the PNG against the picture: masked pixels transparent,
// the others opaque in their exact colour (32 bits: their own alpha).
void ExpectPixels(const IconPicture& p, const Png& png)
{
    ASSERT_TRUE(png.ok());
    ASSERT_EQ(png.width(), p.width);
    ASSERT_EQ(png.height(), p.height);
    for (int y = 0; y < p.height; y++) {
        for (int x = 0; x < p.width; x++) {
            Seen s = png.at(x, y);
            uint32_t v = p.pixel(x, y);
            if (p.bits == 32) {
                int alpha = 127 - static_cast<int>(v >> 24) / 2;
                ASSERT_EQ(s.alpha, alpha) << x << "," << y;
                Rgba rgb{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 0};
                if (alpha < 127) {
                    ASSERT_EQ(s.colour, rgb) << x << "," << y;
                }
                continue;
            }
            if (p.masked(x, y)) {
                ASSERT_TRUE(s.transparent) << x << "," << y;
                continue;
            }
            Rgba want = p.bits <= 8 ? p.palette[v] : Rgba{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 0};
            want.a = 0;
            ASSERT_FALSE(s.transparent) << x << "," << y;
            ASSERT_EQ(s.alpha, 0) << x << "," << y;
            ASSERT_EQ(s.colour, want) << x << "," << y;
        }
    }
}

IconPicture Picture(int bits, int width, int height, bool withMask)
{
    IconPicture p;
    p.width = width;
    p.height = height;
    p.bits = bits;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); i++)
            p.palette.push_back(PaletteColour(i));
    p.pixel = [bits](int x, int y) -> uint32_t {
        if (bits <= 8)
            return static_cast<uint32_t>(x * 3 + y * 5) % (1u << bits);
        uint32_t rgb = (static_cast<uint32_t>(x * 40) & 0xFF) << 16 | (static_cast<uint32_t>(y * 30) & 0xFF) << 8 |
                       static_cast<uint32_t>(x ^ y);
        uint32_t alpha = bits == 32 ? static_cast<uint32_t>((x * 61 + y * 17) % 256) : 0;
        return alpha << 24 | rgb;
    };
    if (withMask)
        p.masked = [](int x, int y) { return (x + 2 * y) % 3 == 0; };
    return p;
}

struct DepthCase {
    int bits, width, height;
    bool mask;
};

std::string DepthName(const DepthCase& c)
{
    return std::to_string(c.bits) + "bits_" + std::to_string(c.width) + "x" + std::to_string(c.height) +
           (c.mask ? "_masked" : "");
}

void PrintTo(const DepthCase& c, std::ostream* os) { *os << DepthName(c); }

class EveryDepth : public testing::TestWithParam<DepthCase> { };

TEST_P(EveryDepth, PixelsNameAndReport)
{
    const DepthCase& c = GetParam();
    IconPicture p = Picture(c.bits, c.width, c.height, c.mask);
    p.imageSize = 1234;
    auto conv = Convert(IconFile({BitmapData(p)}));
    char name[64], line[160];
    snprintf(name, sizeof name, "app_%02dX%02d_%dbpp.png", c.width, c.height, c.bits);
    snprintf(line, sizeof line, "Found icon: %2dx%2d %2dbpp Sz:1234 (%s)\n", c.width, c.height, c.bits,
             conv->path(name).c_str());
    EXPECT_EQ(conv->run.status, 0);
    EXPECT_EQ(conv->run.out, conv->path("app") + ": 1 icons.\n" + line);
    ExpectPixels(p, Png(conv->path(name)));
}

// Widths that need row padding at every depth, masks on and off.
INSTANTIATE_TEST_SUITE_P(Depths, EveryDepth,
                         testing::Values(DepthCase{1, 16, 16, true}, DepthCase{1, 5, 3, true},
                                         DepthCase{1, 33, 2, false}, DepthCase{2, 7, 4, true},
                                         DepthCase{2, 16, 1, false}, DepthCase{4, 16, 16, true},
                                         DepthCase{4, 3, 5, true}, DepthCase{4, 9, 2, false}, DepthCase{8, 5, 6, true},
                                         DepthCase{8, 48, 48, false}, DepthCase{24, 10, 4, true},
                                         DepthCase{24, 1, 1, false}, DepthCase{24, 8, 8, true},
                                         DepthCase{32, 3, 7, true}, DepthCase{32, 16, 16, false},
                                         DepthCase{32, 256, 2, false}),
                         [](const testing::TestParamInfo<DepthCase>& param) { return DepthName(param.param); });

// The pictures of the other kinds of image: what each PNG must show.
struct KindCase {
    const char* name;
    std::string file;  // written as app.ico
    std::vector<std::pair<std::string, IconPicture>> outputs;  // PNG names and what they show
    std::string list;  // the listing's lines after "app.ico: ", or "" to skip that check
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

// A palette picture whose pixel (0, 0) names index 250 (past a short
// palette), and its expectation: the entries past `stored` black.
std::pair<IconPicture, IconPicture> ShortPalette(int bits, uint32_t stored)
{
    IconPicture p = Picture(bits, 9, 5, true);
    p.coloursUsed = stored;
    uint32_t past = (1u << bits) - 1;
    p.pixel = [bits, past](int x, int y) -> uint32_t {
        return x == 1 && y == 0 ? past : static_cast<uint32_t>(x + y) % 2;
    };
    IconPicture want = p;
    for (size_t i = stored; i < want.palette.size(); i++)
        want.palette[i] = Rgba{0, 0, 0, 0};
    return {p, want};
}

// A 16-bit picture (raw pixel values) and its expectation in 8-bit channels,
// each scaled as value * 255 / its largest value.
std::pair<IconPicture, IconPicture> Sixteen(std::vector<uint32_t> fields)
{
    IconPicture p;
    p.width = 7, p.height = 3, p.bits = 16, p.bitFields = fields;
    p.pixel = [](int x, int y) { return static_cast<uint32_t>(x * 9173 + y * 40111) & 0xFFFF; };
    p.masked = [](int x, int y) { return x == y; };
    std::vector<uint32_t> masks = fields.empty() ? std::vector<uint32_t>{0x7C00, 0x03E0, 0x001F} : fields;
    IconPicture want = p;
    want.bits = 24;
    want.pixel = [p, masks](int x, int y) {
        uint32_t rgb = 0;
        for (uint32_t m : masks) {
            int shift = __builtin_ctz(m);
            rgb = rgb << 8 | ((p.pixel(x, y) & m) >> shift) * 255 / (m >> shift);
        }
        return rgb;
    };
    return {p, want};
}

std::vector<KindCase> KindCases()
{
    auto [short8, want8] = ShortPalette(8, 200);
    auto [short4, want4] = ShortPalette(4, 5);
    auto [short1, want1] = ShortPalette(1, 1);
    auto [rgb555, want555] = Sixteen({});
    auto [rgb565, want565] = Sixteen({0xF800, 0x07E0, 0x001F});
    IconPicture mono = Picture(1, 10, 6, true);
    mono.palette = {Rgba{0, 0, 0, 0}, Rgba{255, 255, 255, 0}};
    IconPicture colour4 = Picture(4, 16, 16, true), colour8 = Picture(8, 5, 7, true),
                colour24 = Picture(24, 6, 3, true);
    const std::string png = "_";
    return {
        {"short palette of 8 bits", IconFile({BitmapData(short8)}), {{"app_09X05_8bpp.png", want8}}, ""},
        {"short palette of 4 bits", IconFile({BitmapData(short4)}), {{"app_09X05_4bpp.png", want4}}, ""},
        {"short palette of 1 bit", IconFile({BitmapData(short1)}), {{"app_09X05_1bpp.png", want1}}, ""},
        {"16 bits, 5-5-5",
         IconFile({BitmapData(rgb555)}),
         {{"app_07X03_16bpp.png", want555}},
         "1: 7x3 16bpp bitmap 100 bytes\n"},
        {"16 bits, 5-6-5 bit fields", IconFile({BitmapData(rgb565)}), {{"app_07X03_16bpp.png", want565}}, ""},
        {"OS/2 icon", Os2Bitmap({"IC", mono}, 0), {{"app_10X06_1bpp.png", mono}}, "1: 10x6 1bpp bitmap 48 bytes\n"},
        {"OS/2 pointer",
         Os2Bitmap({"PT", mono, 12, 3, 4}, 0),
         {{"app_10X06_1bpp.png", mono}},
         "1: 10x6 1bpp bitmap 48 bytes, hotspot 3,4\n"},
        {"OS/2 colour icon of 4 bits", Os2Bitmap({"CI", colour4}, 0), {{"app_16X16_4bpp.png", colour4}}, ""},
        {"OS/2 2.x colour pointer of 8 bits",
         Os2Bitmap({"CP", colour8, 64, 1, 2}, 0),
         {{"app_05X07_8bpp.png", colour8}},
         "1: 5x7 8bpp bitmap 112 bytes, hotspot 1,2\n"},
        {"OS/2 colour icon of 24 bits", Os2Bitmap({"CI", colour24, 40}, 0), {{"app_06X03_24bpp.png", colour24}}, ""},
        {"OS/2 bitmap array",
         Os2Array({{"IC", mono}, {"CI", colour4}, {"CI", colour8, 64}}),
         {{"app_10X06_1bpp.png", mono}, {"app_16X16_4bpp.png", colour4}, {"app_05X07_8bpp.png", colour8}},
         "1: 10x6 1bpp bitmap 48 bytes\n2: 16x16 4bpp bitmap 256 bytes\n3: 5x7 8bpp bitmap 112 bytes\n"},
        {"Windows 1.x icon", Win1File(mono), {{"app_10X06_1bpp.png", mono}}, "1: 10x6 1bpp bitmap 24 bytes\n"},
        {"Windows 1.x cursor in both formats",
         Win1File(mono, 3, 2, 5, 1),
         {{"app_10X06_1bpp.png", mono}, {"app_10X06_1bpp_2.png", mono}},
         "1: 10x6 1bpp bitmap 24 bytes, hotspot 5,1\n2: 10x6 1bpp bitmap 24 bytes, hotspot 5,1\n"},
    };
}

class OtherKinds : public testing::TestWithParam<KindCase> { };

TEST_P(OtherKinds, EveryPixelAndTheListing)
{
    const KindCase& c = GetParam();
    auto conv = Convert(c.file);
    EXPECT_EQ(conv->run.status, 0) << conv->run.out << conv->run.err;
    for (const auto& [name, want] : c.outputs) {
        SCOPED_TRACE(name);
        ExpectPixels(want, Png(conv->path(name)));
    }
    if (!c.list.empty()) {
        RunResult list = RunProgram({kPngsmith, "-l", "app.ico"}, testutil::InDir(conv->dir.path().string()));
        std::string want;
        for (size_t at = 0, end; (end = c.list.find('\n', at)) != std::string::npos; at = end + 1)
            want += "app.ico: " + c.list.substr(at, end + 1 - at);
        EXPECT_EQ(list.out, want);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OtherKinds, testing::ValuesIn(KindCases()), testutil::CaseName());

// Files of other kinds are named by what they are.
TEST(OtherKinds, KnownKindsAreNamed)
{
    const struct {
        std::string bytes, what;
    } cases[] = {
        {"BM" + std::string(60, '\0'), "a BMP image"},
        {std::string("\x89PNG\r\n\x1a\n", 8) + std::string(60, '\0'), "a PNG image"},
        {"GIF89a" + std::string(60, '\0'), "a GIF image"},
        {"\xff\xd8\xff\xe0" + std::string(60, '\0'), "a JPEG image"},
        {"RIFF\4\0\0\0WAVE" + std::string(60, '\0'), "a RIFF file of another kind"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto conv = Convert(c.bytes, "x.ico");
        EXPECT_EQ(conv->run.status, 2);
        EXPECT_EQ(conv->run.err, "pngsmith: " + conv->path("x.ico") + ": " + c.what + ", not an icon\n");
    }
}

// A 24-bit unmasked pixel of exactly the key colour shows transparent; a
// 32-bit pixel that the mask marks keeps its own alpha.
TEST(Transparency, KeyColourAndAlphaRules)
{
    IconPicture p24;
    p24.width = 2, p24.height = 1, p24.bits = 24;
    p24.pixel = [](int x, int) -> uint32_t { return x == 0 ? 0xFF00FF : 0x102030; };
    auto a = Convert(IconFile({BitmapData(p24)}));
    Png png24(a->path("app_02X01_24bpp.png"));
    ASSERT_TRUE(png24.ok());
    EXPECT_TRUE(png24.at(0, 0).transparent);
    EXPECT_FALSE(png24.at(1, 0).transparent);

    IconPicture p32;
    p32.width = 6, p32.height = 1, p32.bits = 32;
    const uint32_t alphas[6] = {255, 254, 128, 127, 1, 0};
    p32.pixel = [&](int x, int) { return alphas[x] << 24 | 0x405060; };
    p32.masked = [](int, int) { return true; };
    auto b = Convert(IconFile({BitmapData(p32)}));
    Png png32(b->path("app_06X01_32bpp.png"));
    ASSERT_TRUE(png32.ok());
    const int gd[6] = {0, 0, 63, 64, 127, 127};
    for (int x = 0; x < 6; x++)
        EXPECT_EQ(png32.at(x, 0).alpha, gd[x]) << x;
}

// Palette images keep masked pixels transparent and the others exact, also
// when the palette is full; indexed while some index is free or unused.
TEST(Transparency, PaletteChoices)
{
    struct Case {
        const char* name;
        int colours;  // distinct colours in the palette (others repeat)
        bool useAll;  // every palette index shown by an unmasked pixel
        bool indexed;  // the PNG stays a palette image
    } cases[] = {
        {"255 colours", 255, true, true},
        {"256 colours, one unused", 256, false, true},
        {"256 colours, all used", 256, true, false},
        {"repeated colours", 100, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IconPicture p;
        p.width = 32, p.height = 16, p.bits = 8;
        for (int i = 0; i < 256; i++)
            p.palette.push_back(
                Rgba{static_cast<uint8_t>(i % c.colours), static_cast<uint8_t>((i % c.colours) * 7), 9, 0});
        int used = c.useAll ? 256 : 255;
        p.pixel = [used](int x, int y) { return static_cast<uint32_t>((y * 32 + x) % used); };
        // Masked pixels come after every index has been shown once.
        p.masked = [](int x, int y) { return y >= 8 && x % 2 == 0; };
        auto conv = Convert(IconFile({BitmapData(p)}));
        EXPECT_EQ(conv->run.status, 0);
        Png png(conv->path("app_32X16_8bpp.png"));
        ASSERT_TRUE(png.ok());
        EXPECT_EQ(!png.trueColour(), c.indexed);
        ExpectPixels(p, png);
    }
}

TEST(Transparency, EqualPaletteColoursShareOneColour)
{
    IconPicture p = Picture(4, 4, 4, false);
    for (Rgba& c : p.palette)
        c = Rgba{1, 2, 3, 0};
    auto conv = Convert(IconFile({BitmapData(p)}));
    FILE* f = fopen(conv->path("app_04X04_4bpp.png").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    gdImagePtr im = gdImageCreateFromPng(f);
    fclose(f);
    ASSERT_NE(im, nullptr);
    int first = gdImageGetPixel(im, 0, 0);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(gdImageGetPixel(im, x, y), first);
    gdImageDestroy(im);
}

// Bitmap headers of 108 and 124 bytes: the palette and pixels follow the
// whole header.
TEST(Headers, LaterHeaderVersions)
{
    for (uint32_t size : {108u, 124u}) {
        IconPicture p = Picture(8, 6, 5, true);
        p.headerSize = size;
        auto conv = Convert(IconFile({BitmapData(p)}));
        ExpectPixels(p, Png(conv->path("app_06X05_8bpp.png")));
    }
    // A size field that does not fit in the file is not trusted.
    IconPicture p = Picture(4, 4, 4, false);
    std::string data = BitmapData(p);
    data[0] = static_cast<char>(0xFF), data[1] = static_cast<char>(0xFF);
    auto conv = Convert(IconFile({data}));
    EXPECT_EQ(conv->run.status, 0);
    ExpectPixels(p, Png(conv->path("app_04X04_4bpp.png")));
}

struct ReportCase {
    const char* name;
    std::string icon;
    std::string out;  // "%s" stands for the scratch folder
    int status;
    std::vector<std::string> files;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

std::string Header40(int32_t width, int32_t height2, int16_t bits, int32_t size = 0)
{
    return Bytes()
        .u32(40)
        .i32(width)
        .i32(height2)
        .u16(1)
        .u16(static_cast<uint16_t>(bits))
        .u32(0)
        .i32(size)
        .u32(0)
        .u32(0)
        .u32(0)
        .u32(0)
        .str();
}

// The icon with the directory size of entry index replaced.
std::string WithDirectorySize(std::string icon, int index, uint32_t size)
{
    for (int k = 0; k < 4; k++)
        icon[6 + 16 * index + 8 + k] = static_cast<char>(size >> (8 * k));
    return icon;
}

// An icon whose count entries all name the one image that follows the
// directory.
std::string SharedImage(int count, const std::string& image)
{
    Bytes icon;
    icon.u16(0).u16(1).u16(static_cast<uint32_t>(count));
    for (int i = 0; i < count; i++)
        icon.u32(0).u16(1).u16(8).u32(static_cast<uint32_t>(image.size())).u32(6 + 16 * static_cast<uint32_t>(count));
    return icon.str(image).str();
}

// One table row a case, as written.
// clang-format off
std::vector<ReportCase> ReportCases()
{
    std::string small = BitmapData(Picture(1, 8, 8, true));
    std::string skipped = " (skipped: ";
    std::string png = PngData(256, 256, 8, 6);
    return {
        {"no images", IconFile({}), "%s/app: 0 icons.\n", 0, {}},
        {"two-digit names", IconFile({small}),
         "%s/app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n", 0, {"app_08X08_1bpp.png"}},
        {"cursor file", IconFile({small}, 2),
         "%s/app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n", 0, {"app_08X08_1bpp.png"}},
        // Two images never share a file; one image named twice is written once.
        {"same size twice gets a second name", IconFile({small, small, small}),
         "%s/app: 3 icons.\nFound icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n"
         "Found icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp_2.png)\n"
         "Found icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp_3.png)\n", 0,
         {"app_08X08_1bpp.png", "app_08X08_1bpp_2.png", "app_08X08_1bpp_3.png"}},
        {"entries sharing one image", SharedImage(3, small),
         "%s/app: 3 icons.\nFound icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n"
         "Found icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n"
         "Found icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n", 0, {"app_08X08_1bpp.png"}},
        {"bit count 3", IconFile({Header40(8, 16, 3)}),
         "%s/app: 1 icons.\nFound icon:  8x 8  3bpp Sz:0" + skipped + "3 bits per pixel not supported)\n", 2, {}},
        {"bit count 15", IconFile({Header40(8, 16, 15)}),
         "%s/app: 1 icons.\nFound icon:  8x 8 15bpp Sz:0" + skipped + "15 bits per pixel not supported)\n", 2, {}},
        {"16 bits compressed", IconFile({Bytes().u32(40).i32(8).i32(16).u16(1).u16(16).u32(1).fill(20)}),
         "%s/app: 1 icons.\nFound icon:  8x 8 16bpp Sz:0" + skipped + "compression of a 16-bit image not supported)\n",
         2, {}},
        {"bit count 33 then a good image", IconFile({Header40(8, 16, 33), small}),
         "%s/app: 2 icons.\nFound icon:  8x 8 33bpp Sz:0" + skipped + "33 bits per pixel not supported)\n"
         "Found icon:  8x 8  1bpp Sz:0 (%s/app_08X08_1bpp.png)\n", 2, {"app_08X08_1bpp.png"}},
        {"offset past the end", Bytes().u16(0).u16(1).u16(1).fill(8).u32(0).u32(999999).str(),
         "%s/app: 1 icons.\nFound icon:  0x 0  0bpp Sz:0" + skipped + "0 bits per pixel not supported)\n", 2, {}},
        // Entries past the end read as zeros: offset 0, the file header
        // itself, whose bytes give a width of 3 and no bit count.
        {"count past the end", Bytes().u16(0).u16(1).u16(3).str(),
         "%s/app: 3 icons.\nFound icon:  3x 0  0bpp Sz:0" + skipped + "0 bits per pixel not supported)\n"
             "Found icon:  3x 0  0bpp Sz:0" + skipped + "0 bits per pixel not supported)\n"
             "Found icon:  3x 0  0bpp Sz:0" + skipped + "0 bits per pixel not supported)\n", 2, {}},
        {"zero width", IconFile({Header40(0, 16, 8)}),
         "%s/app: 1 icons.\nFound icon:  0x 8  8bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"negative width", IconFile({Header40(-5, 16, 8)}),
         "%s/app: 1 icons.\nFound icon: -5x 8  8bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"height field of 1", IconFile({Header40(8, 1, 8)}),
         "%s/app: 1 icons.\nFound icon:  8x 0  8bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"negative height", IconFile({Header40(8, -16, 8)}),
         "%s/app: 1 icons.\nFound icon:  8x-8  8bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"width 4097", IconFile({Header40(4097, 2, 1)}),
         "%s/app: 1 icons.\nFound icon: 4097x 1  1bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"height 4097", IconFile({Header40(1, 8194, 32)}),
         "%s/app: 1 icons.\nFound icon:  1x4097 32bpp Sz:0" + skipped + "image size out of range)\n", 2, {}},
        {"huge sizes", IconFile({Header40(0x7FFFFFFF, -2, 32, -1)}),
         "%s/app: 1 icons.\nFound icon: 2147483647x-1 32bpp Sz:-1" + skipped + "image size out of range)\n", 2, {}},
        // Data past the end reads as zeros; pixels without data are bounded
        // per file, allowing one largest image.
        {"largest image without data, twice", IconFile({Header40(4096, 8192, 1), Header40(4096, 8192, 1)}),
         "%s/app: 2 icons.\nFound icon: 4096x4096  1bpp Sz:0 (%s/app_4096X4096_1bpp.png)\n"
         "Found icon: 4096x4096  1bpp Sz:0" + skipped + "the file is too small for all its images)\n",
         2, {"app_4096X4096_1bpp.png"}},
        {"truncated image in a small file", IconFile({Header40(1100, 2200, 1) + std::string(1938, 'x')}),
         "%s/app: 1 icons.\nFound icon: 1100x1100  1bpp Sz:0 (%s/app_1100X1100_1bpp.png)\n", 0,
         {"app_1100X1100_1bpp.png"}},
        {"png entry copied", IconFile({png}),
         "%s/app: 1 icons.\nFound icon: 256x256 32bpp Sz:" + std::to_string(png.size()) +
             " (%s/app_256X256_32bpp.png)\n", 0, {"app_256X256_32bpp.png"}},
        {"palette png entry", IconFile({PngData(16, 16, 1, 3)}),
         "%s/app: 1 icons.\nFound icon: 16x16  1bpp Sz:45 (%s/app_16X16_1bpp.png)\n", 0, {"app_16X16_1bpp.png"}},
        {"png entry with a bad header", IconFile({PngData(16, 16, 3, 6)}),
         "%s/app: 1 icons.\nFound icon: 16x16 12bpp Sz:45" + skipped + "not a valid PNG image)\n", 2, {}},
        {"png entry with width 0", IconFile({PngData(0, 16, 8, 6)}),
         "%s/app: 1 icons.\nFound icon:  0x16 32bpp Sz:45" + skipped + "not a valid PNG image)\n", 2, {}},
        {"png entry cut short by its directory size", WithDirectorySize(IconFile({PngData(16, 16, 1, 3)}), 0, 40),
         "%s/app: 1 icons.\nFound icon: 16x16  1bpp Sz:40" + skipped + "the directory size cuts the PNG image short)\n",
         2, {}},
        {"png entry with a bad CRC", IconFile({PngData(16, 16, 8, 6, PngChunk("IDAT", "data", 1))}),
         "%s/app: 1 icons.\nFound icon: 16x16 32bpp Sz:61" + skipped + "a PNG chunk's CRC does not match its data)\n", 2,
         {}},
        {"png entry of directory size 0", WithDirectorySize(IconFile({PngData(16, 16, 1, 3)}), 0, 0),
         "%s/app: 1 icons.\nFound icon: 16x16  1bpp Sz:0" + skipped + "the directory size holds no complete PNG image)\n",
         2, {}},
    };
}
// clang-format on

class Reports : public testing::TestWithParam<ReportCase> { };

TEST_P(Reports, LinesStatusAndFiles)
{
    const ReportCase& c = GetParam();
    auto conv = Convert(c.icon);
    std::string want = c.out;
    for (size_t at = want.find("%s"); at != std::string::npos; at = want.find("%s"))
        want.replace(at, 2, conv->dir.path().string());
    EXPECT_EQ(conv->run.out, want);
    EXPECT_EQ(conv->run.status, c.status);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(conv->dir.path()))
        if (e.path().extension() == ".png")
            files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, c.files);
}

INSTANTIATE_TEST_SUITE_P(Cases, Reports, testing::ValuesIn(ReportCases()), testutil::CaseName());

TEST(Reports, PngEntryIsCopiedByteForByte)
{
    std::string png = PngData(256, 256, 8, 6, PngChunk("IDAT", "data"));
    auto conv = Convert(IconFile({png}));
    EXPECT_EQ(testutil::ReadFile(conv->path("app_256X256_32bpp.png")), png);
    // Data that would run past the end of the file is not written.
    std::string cut = IconFile({png});
    auto short_ = Convert(cut.substr(0, cut.size() - 3));
    EXPECT_NE(short_->run.out.find("(skipped: PNG data runs past the end of the file)\n"), std::string::npos);
    EXPECT_EQ(short_->run.status, 2);
}

TEST(CommandLine, StemsOfTheArguments)
{
    TempDir dir;
    std::string icon = IconFile({BitmapData(Picture(4, 16, 16, true))});
    struct Stem {
        std::string file, stem;
    } stems[] = {
        {"icons/app.ico", "icons/app"}, {"app.tar.ico", "app.tar"}, {"plain", "plain"},
        {"dir.old/app", "dir.old/app"}, {"./app2", "./app2"},       {"icons/.hidden", "icons/.hidden"},
    };
    fs::create_directories(dir / "icons");
    fs::create_directories(dir / "dir.old");
    for (const Stem& s : stems) {
        testutil::WriteFile(dir / s.file, icon);
        RunResult r = RunProgram({kPngsmith, s.file}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, 0) << s.file;
        EXPECT_EQ(r.out, s.stem + ": 1 icons.\nFound icon: 16x16  4bpp Sz:0 (" + s.stem + "_16X16_4bpp.png)\n");
        EXPECT_TRUE(fs::exists(dir / (s.stem + "_16X16_4bpp.png"))) << s.stem;
    }
}

// Options, errors and streams, run by the shell in a folder holding app.ico
// (one 8x8 image) and a subfolder out/; P stands for pngsmith.
TEST(CommandLine, OptionsErrorsAndStreams)
{
    const std::string ok = "app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (app_08X08_1bpp.png)\n";
    const std::string small = BitmapData(Picture(1, 8, 8, false));
    const std::string three[] = {"three.ico: 1: 8x8 1bpp bitmap 112 bytes\n",
                                 "three.ico: 2: 16x16 4bpp bitmap 296 bytes\n",
                                 "three.ico: 3: 16x16 32bpp bitmap 1128 bytes\n"};
    const std::string mixed8 = "mixed.ico: 2: 8x8 1bpp bitmap 112 bytes\n";
    struct Case {
        const char* name;
        std::string command;
        int status;
        std::string out, err;
        const char* written;  // a file that must exist afterwards, or ""
    } cases[] = {
        {"usage", "P", 0, "Usage: pngsmith file1.ico [file2.ico .. filen.ico]\n", "", ""},
        {"version", "P --version", 0, "pngsmith " CONVERTER_VERSION "\n", "", ""},
        {"unknown option", "P -x app.ico", 1, "",
         "P: invalid option -- 'x'\nTry 'pngsmith --help' for more information.\n", ""},
        {"missing file, then a good one", "P nope.ico app.ico", 2, ok,
         "pngsmith: nope.ico: No such file or directory\n", "app_08X08_1bpp.png"},
        {"a folder", "P out", 2, "", "pngsmith: out: Is a directory\n", ""},
        {"not an icon", "P notes.txt", 2, "", "pngsmith: notes.txt: not an icon or cursor file\n", ""},
        {"output folder", "P -o out app.ico", 0,
         "app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (out/app_08X08_1bpp.png)\n", "", "out/app_08X08_1bpp.png"},
        {"long output folder option", "P --output-dir=out/ ./app.ico", 0,
         "./app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (out/app_08X08_1bpp.png)\n", "", "out/app_08X08_1bpp.png"},
        {"end of options", "cp app.ico ./-o.ico && P -- -o.ico", 0,
         "-o: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (-o_08X08_1bpp.png)\n", "", "-o_08X08_1bpp.png"},
        {"from a pipe", "cat app.ico | P -o out /dev/stdin", 0,
         "/dev/stdin: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (out/stdin_08X08_1bpp.png)\n", "",
         "out/stdin_08X08_1bpp.png"},
        {"full disk", "P app.ico > /dev/full", 2, "", "pngsmith: standard output: No space left on device\n",
         "app_08X08_1bpp.png"},
        // A name that leads to the input is never written through.
        {"output is the input", "ln -s app.ico app_08X08_1bpp.png && P app.ico", 2,
         "app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (skipped: the output app_08X08_1bpp.png is the input file)\n", "",
         ""},
        // Listing and selecting in three.ico (8x8 1 bit, 16x16 4 bits, 16x16
        // 32 bits), mixed.ico (an unsupported 64x64 image, then 8x8 1 bit)
        // and a cursor.
        {"list", "P -l three.ico", 0, three[0] + three[1] + three[2], "", ""},
        {"list a cursor with its hotspot", "P --list cursor.cur", 0,
         "cursor.cur: 1: 8x8 1bpp bitmap 112 bytes, hotspot 3,5\n", "", ""},
        {"list says what would be skipped", "P -l mixed.ico", 2,
         "mixed.ico: 1: 64x64 3bpp bitmap 40 bytes, skipped: 3 bits per pixel not supported\n" + mixed8, "", ""},
        {"list a selection", "P -l -b 4 three.ico", 0, three[1], "", ""},
        {"index", "P -i 2 three.ico", 0, "three: 3 icons.\nFound icon: 16x16  4bpp Sz:0 (three_16X16_4bpp.png)\n", "",
         "three_16X16_4bpp.png"},
        {"width and depth", "P -w 16 --bit-depth=32 three.ico", 0,
         "three: 3 icons.\nFound icon: 16x16 32bpp Sz:0 (three_16X16_32bpp.png)\n", "", "three_16X16_32bpp.png"},
        {"height", "P --height=8 three.ico", 0,
         "three: 3 icons.\nFound icon:  8x 8  1bpp Sz:0 (three_08X08_1bpp.png)\n", "", "three_08X08_1bpp.png"},
        {"largest: the deeper of equal areas", "P --largest -o - three.ico > big.png", 0, "",
         "three: 3 icons.\nFound icon: 16x16 32bpp Sz:0 (standard output)\n", "big.png"},
        {"largest passes over an unsupported image", "P --largest -l mixed.ico", 0, mixed8, "", ""},
        {"nothing matches in one file", "P -i 2 app.ico three.ico", 2,
         "three: 3 icons.\nFound icon: 16x16  4bpp Sz:0 (three_16X16_4bpp.png)\n",
         "pngsmith: app.ico: no image matches the selection\n", "three_16X16_4bpp.png"},
        {"more than one image for -o -", "P -o - three.ico > x.png", 2, "",
         "pngsmith: three.ico: -o - writes one image, and the selection holds more (choose one with --index or "
         "--largest)\n",
         ""},
        {"two files for -o -", "P -o - app.ico app.ico > x.png", 1, "",
         "pngsmith: -o - writes one image: name one file\nTry 'pngsmith --help' for more information.\n", ""},
        {"missing output folder", "P -o nowhere app.ico", 2, "", "pngsmith: nowhere: No such file or directory\n", ""},
        {"output folder is a file", "P -o notes.txt app.ico", 2, "", "pngsmith: notes.txt: Not a directory\n", ""},
        {"two files with one stem", "mkdir b && cp app.ico b/ && P -o out app.ico b/app.ico", 0,
         "app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (out/app_08X08_1bpp.png)\n"
         "b/app: 1 icons.\nFound icon:  8x 8  1bpp Sz:0 (out/app_08X08_1bpp_2.png)\n",
         "", "out/app_08X08_1bpp_2.png"},
        // Standard output appended to the input would change it.
        {"standard output is the input", "P -i 1 -o - app.ico >> app.ico", 2, "",
         "pngsmith: app.ico: the input is also standard output\n", ""},
        // The first bytes decide, before an endless pipe is read.
        {"endless pipe that is no icon", "yes | P /dev/stdin", 2, "",
         "pngsmith: /dev/stdin: not an icon or cursor file\n", ""},
        // One listed line is one image, whatever the name holds.
        {"name with a newline in a listing", "cp app.ico \"$(printf 'a\\nb.ico')\" && P -l a?b.ico", 0,
         "a\\012b.ico: 1: 8x8 1bpp bitmap 112 bytes\n", "", ""},
        {"name with an escape on a terminal",
         "cp app.ico \"$(printf 'a\\033b.ico')\" && script -qec 'P a?b.ico' /dev/null", 0,
         "a\\033b: 1 icons.\r\nFound icon:  8x 8  1bpp Sz:0 (a\\033b_08X08_1bpp.png)\r\n", "", ""},
        {"not a number", "P --width=0 app.ico", 1, "",
         "pngsmith: '0' is not a number from 1 up for --width\nTry 'pngsmith --help' for more information.\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string icon = IconFile({BitmapData(Picture(1, 8, 8, false))});
        testutil::WriteFile(dir / "app.ico", icon);
        testutil::WriteFile(dir / "notes.txt", "Not an icon, but 30318 images by its count.\n");
        testutil::WriteFile(dir / "three.ico", IconFile({small, BitmapData(Picture(4, 16, 16, true)),
                                                         BitmapData(Picture(32, 16, 16, true))}));
        testutil::WriteFile(dir / "mixed.ico", IconFile({Header40(64, 128, 3), small}));
        std::string cursor = IconFile({small}, 2);
        cursor[10] = 3, cursor[12] = 5;  // the directory's planes and bit count: the hotspot
        testutil::WriteFile(dir / "cursor.cur", cursor);
        fs::create_directory(dir / "out");
        std::string command = c.command, err = c.err;
        command.replace(command.rfind('P'), 1, kPngsmith);
        if (err.rfind("P:", 0) == 0)
            err.replace(0, 1, kPngsmith);
        RunResult r = RunProgram({"/bin/sh", "-c", command}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, err);
        if (*c.written != 0) {
            EXPECT_TRUE(Png(dir / c.written).ok());
        }
        EXPECT_EQ(testutil::ReadFile(dir / "app.ico"), icon);
    }
}

// An image of a later file that would take the name of one this run wrote
// gets the next _N name; files from before the run are replaced.
TEST(CommandLine, LaterFileWithTheSameStemTakesTheNextName)
{
    TempDir dir;
    IconPicture first = Picture(8, 4, 4, false), second = Picture(8, 4, 4, true);
    second.palette[0] = Rgba{1, 1, 1, 0};
    testutil::WriteFile(dir / "app.ico", IconFile({BitmapData(first)}));
    testutil::WriteFile(dir / "app.cur", IconFile({BitmapData(second)}, 2));
    testutil::WriteFile(dir / "app_04X04_8bpp.png", "old contents");
    RunResult r = RunProgram({kPngsmith, dir / "app.ico", dir / "app.cur"});
    EXPECT_EQ(r.status, 0);
    ExpectPixels(first, Png(dir / "app_04X04_8bpp.png"));
    ExpectPixels(second, Png(dir / "app_04X04_8bpp_2.png"));
}

// An output that cannot be created or written: said on the report line,
// status 2, the run goes on; a partial regular file is removed.
TEST(OutputFailures, ReportedAndTheRunGoesOn)
{
    TempDir dir;
    IconPicture big = Picture(32, 64, 64, false), small = Picture(1, 8, 8, false);
    testutil::WriteFile(dir / "app.ico", IconFile({BitmapData(big), BitmapData(small)}));
    fs::create_directory(dir / "app_64X64_32bpp.png");
    RunResult r = RunProgram({kPngsmith, dir / "app.ico"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Sz:0 (cannot create " + dir / "app_64X64_32bpp.png" + ": Is a directory)\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::exists(dir / "app_08X08_1bpp.png"));
    fs::remove(dir / "app_64X64_32bpp.png");

    fs::create_symlink("/dev/full", dir / "app_64X64_32bpp.png");
    r = RunProgram({kPngsmith, dir / "app.ico"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("(error writing " + dir / "app_64X64_32bpp.png" + ": No space left on device)\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::is_symlink(dir / "app_64X64_32bpp.png"));
    fs::remove(dir / "app_64X64_32bpp.png");

    r = RunProgram({kPngsmith, dir / "app.ico"}, testutil::FileSizeLimit(200));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("(error writing " + dir / "app_64X64_32bpp.png" + ": File too large)\n"), std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(dir / "app_64X64_32bpp.png"));
    EXPECT_TRUE(fs::exists(dir / "app_08X08_1bpp.png"));
}

// libgd's PNG writer returns nothing when it fails (here libpng refuses a
// width beyond its limit of a million): the failure is still seen, the
// partial file removed and the result a failure.
TEST(OutputFailures, LibgdFailureIsCaught)
{
    TempDir dir;
    const icon_options options = {};
    icon_file file;
    const std::string stem = dir / "app";
    icon_run run = {};
    init_icon_file(&file, stdin, 0, (stem + ".ico").c_str(), &options, &run);
    for (bool trueColour : {false, true}) {
        gdImagePtr im = trueColour ? gdImageCreateTrueColor(1000001, 1) : gdImageCreate(1000001, 1);
        ASSERT_NE(im, nullptr);
        const std::string name = stem + (trueColour ? "_32.png" : "_8.png");
        png_outcome outcome = write_png(&file, 0, name.c_str(), im);
        gdImageDestroy(im);
        EXPECT_STREQ(outcome.failure, "libgd could not encode");
        EXPECT_EQ(outcome.name, name);
        free(outcome.name);
        EXPECT_FALSE(fs::exists(name));
    }
    free_icon_file(&file);
    free_icon_run(&run);
}

// A signal while a PNG file is written: the report lines of the images
// written before have reached standard output, a file here, and so have
// their files.
TEST(OutputFailures, SignalKeepsTheImagesWrittenBefore)
{
    TempDir dir;
    testutil::WriteFile(dir / "app.ico", IconFile({BitmapData(Picture(1, 8, 8, false)), Header40(4096, 8192, 32)}));
    int how = testutil::InterruptWhen(
        "exec " + kPngsmith + " app.ico > report.txt", dir.path().string(),
        [&] {
            for (const auto& e : fs::directory_iterator(dir.path()))
                if (e.path().filename().string().rfind(".app_4096X4096_32bpp.png.pngsmith-", 0) == 0)
                    return true;
            return false;
        },
        SIGTERM);
    EXPECT_EQ(how, 128 + SIGTERM);
    EXPECT_TRUE(Png(dir / "app_08X08_1bpp.png").ok());
    EXPECT_EQ(testutil::ReadFile(dir / "report.txt"),
              "app: 2 icons.\nFound icon:  8x 8  1bpp Sz:0 (app_08X08_1bpp.png)\n");
}

// Every prefix of a small icon of several images: no crash, no hang, a
// report line for every image, status 0 or 2.
TEST(Hostile, EveryTruncation)
{
    TempDir dir;
    std::string icon = IconFile({BitmapData(Picture(1, 8, 8, true)), BitmapData(Picture(4, 3, 2, true)),
                                 BitmapData(Picture(24, 2, 2, false)), PngData(4, 4, 8, 2)});
    for (size_t n = 0; n < icon.size(); n++) {
        testutil::WriteFile(dir / "t.ico", icon.substr(0, n));
        RunResult r = RunProgram({kPngsmith, dir / "t.ico"}, testutil::Timeout(10));
        ASSERT_TRUE(r.status == 0 || r.status == 2) << n << " status " << r.status;
        size_t lines = std::count(r.out.begin(), r.out.end(), '\n');
        // Without its type the file is no icon; a count cut after its
        // first byte is that byte.
        size_t count = n >= 5 ? 4 : 0;
        ASSERT_EQ(lines, n < 3 ? 0 : 1 + count) << n << "\n" << r.out;
    }
}

// Thousands of entries naming one large image without data: it is made
// and written once, and every entry's line names that file.
TEST(Hostile, ManyEntriesForOneImage)
{
    const int count = 4000;
    auto conv = Convert(SharedImage(count, Header40(1024, 2048, 8)));
    EXPECT_EQ(conv->run.status, 0);
    std::string line = "Found icon: 1024x1024  8bpp Sz:0 (" + conv->path("app_1024X1024_8bpp.png") + ")\n";
    size_t named = 0;
    for (size_t at = conv->run.out.find(line); at != std::string::npos; at = conv->run.out.find(line, at + 1))
        named++;
    EXPECT_EQ(named, static_cast<size_t>(count));
    EXPECT_TRUE(Png(conv->path("app_1024X1024_8bpp.png")).ok());
}

// Corrupting one header field at a time: the run always ends normally.
TEST(Hostile, CorruptedFields)
{
    TempDir dir;
    const std::string icon = IconFile({BitmapData(Picture(8, 5, 5, true))});
    for (size_t at = 0; at < 6 + 16 + 40; at++) {
        for (uint8_t v : {0x00, 0x7F, 0xFF}) {
            std::string bad = icon;
            bad[at] = static_cast<char>(v);
            testutil::WriteFile(dir / "c.ico", bad);
            RunResult r = RunProgram({kPngsmith, dir / "c.ico"}, testutil::Timeout(20));
            SCOPED_TRACE("byte " + std::to_string(at) + " = " + std::to_string(v) + "\n" + r.out + r.err);
            if (!r.err.empty()) {
                // Refused by its header: one reason, nothing written.
                EXPECT_EQ(r.status, 2);
                EXPECT_EQ(r.err.rfind("pngsmith: " + (dir / "c.ico") + ": ", 0), 0u);
                EXPECT_EQ(r.out, "");
                continue;
            }
            // A line per entry of the directory's count, each naming a PNG
            // file that is there or a reason; status 2 exactly when some
            // image was skipped.
            const unsigned count = static_cast<uint8_t>(bad[4]) | static_cast<uint8_t>(bad[5]) << 8;
            ASSERT_EQ(r.out.rfind(dir / "c: " + std::to_string(count) + " icons.\n", 0), 0u);
            std::regex line(R"(Found icon: +-?\d+x *-?\d+ +-?\d+bpp Sz:-?\d+ \((skipped: [^\n]*|[^\n]*\.png)\)\n)");
            unsigned lines = 0, skipped = 0;
            for (std::sregex_iterator it(r.out.begin(), r.out.end(), line), end; it != end; ++it, lines++) {
                std::string what = (*it)[1].str();
                if (what.rfind("skipped: ", 0) == 0)
                    skipped++;
                else
                    EXPECT_TRUE(fs::exists(what)) << what;
            }
            EXPECT_EQ(lines, count);
            EXPECT_EQ(r.status, skipped > 0 ? 2 : 0);
        }
    }
}

// An allocation failure reports "malloc" on standard error and ends with
// status 1; the PNG files written before stay. The second image's pixel
// block, 40 rows of 40 bytes, is the only allocation of its size.
TEST(AllocationFailure, MallocMessageAndStatus)
{
    TempDir dir;
    std::string path = dir / "app.ico";
    testutil::WriteFile(path, IconFile({BitmapData(Picture(1, 8, 8, false)), BitmapData(Picture(8, 40, 40, false))}));
    auto failPixelBlock = [](size_t count, size_t size) -> void* {
        return count * size == 40 * 40 ? nullptr : calloc(count, size);
    };
    EXPECT_EXIT(
        {
            icon_calloc = failPixelBlock;
            const icon_options options = {};
            icon_run run = {};
            load_icon(path.c_str(), &options, &run);
            exit(0);
        },
        testing::ExitedWithCode(1), "^malloc: ");
    EXPECT_TRUE(fs::exists(dir / "app_08X08_1bpp.png"));
    EXPECT_FALSE(fs::exists(dir / "app_40X40_8bpp.png"));
}

TEST(Corpus, EveryImageConverts)
{
    fs::path corpus = testutil::CorpusDir("ico");
    if (corpus.empty())
        GTEST_SKIP() << "no corpus folder at " CORPUS_DIR;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".ico" && ext != ".cur")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        TempDir dir;
        std::string copy = dir / entry.path().filename().string();
        std::string bytes = testutil::ReadFile(entry.path());
        testutil::WriteFile(copy, bytes);
        RunResult r = RunProgram({kPngsmith, copy});
        ASSERT_EQ(r.status, 0) << r.out;
        uint16_t count = testutil::GetU16(bytes, 4);
        ASSERT_EQ(static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n')), 1u + count);
        // Each report line names a PNG whose size is the directory entry's
        // (0 standing for 256).
        size_t at = r.out.find('\n') + 1;
        for (uint16_t i = 0; i < count; i++) {
            size_t open = r.out.find(" (", at), close = r.out.find(")\n", at);
            std::string name = r.out.substr(open + 2, close - open - 2);
            at = close + 2;
            Png png(name);
            ASSERT_TRUE(png.ok()) << name;
            int w = static_cast<uint8_t>(bytes[6 + 16 * i]), h = static_cast<uint8_t>(bytes[7 + 16 * i]);
            EXPECT_EQ(png.width(), w == 0 ? 256 : w) << name;
            EXPECT_EQ(png.height(), h == 0 ? 256 : h) << name;
        }
    }
}

// The odd real files: each kind read, the BMP named .ico named for what it
// is, and the images Pillow reads the same pixel for pixel (a cursor's
// colours only: Pillow does not apply a cursor's mask).
TEST(Corpus, OddFilesAgreeWithPillow)
{
    fs::path corpus = testutil::CorpusDir("ico-odd");
    if (corpus.empty())
        GTEST_SKIP() << "no corpus folder at " CORPUS_DIR;
    const bool pillow = RunProgram({"/usr/bin/python3", "-c", "import PIL"}).status == 0;
    const struct {
        const char* file;
        int status;
        std::vector<std::string> pngs;
        std::string pillowPng;  // compared with Pillow's image of its size, or ""
        bool alphaToo;
    } cases[] = {
        {"winres_fr.cur",
         0,
         {"winres_fr_32X32_32bpp.png", "winres_fr_48X48_8bpp.png"},
         "winres_fr_48X48_8bpp.png",
         false},
        {"gls_Animated_Sprites_Icon.ico",
         0,
         {"gls_Animated_Sprites_Icon_32X32_16bpp.png"},
         "gls_Animated_Sprites_Icon_32X32_16bpp.png",
         true},
        {"os2fm2_lastitem.ico", 0, {"os2fm2_lastitem_16X16_1bpp.png", "os2fm2_lastitem_32X32_4bpp.png"}, "", false},
        {"os2vnc_ACLDisable.ico", 0, {"os2vnc_ACLDisable_16X16_8bpp.png"}, "", false},
        {"os2vnc_default.ptr", 0, {"os2vnc_default_32X32_1bpp.png"}, "", false},
        {"os2vnc_null.ico", 0, {"os2vnc_null_16X16_1bpp.png"}, "", false},
        {"win1app_App.ico", 0, {"win1app_App_64X64_1bpp.png"}, "", false},
        {"glscene_GLS.ico", 2, {}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const std::string source = (corpus / c.file).string();
        RunResult r = RunProgram({kPngsmith, "-o", dir.path().string(), source});
        ASSERT_EQ(r.status, c.status) << r.out << r.err;
        for (const std::string& name : c.pngs) {
            EXPECT_TRUE(Png(dir / name).ok()) << name;
        }
        if (c.status == 2) {
            EXPECT_EQ(r.err, "pngsmith: " + source + ": a BMP image, not an icon\n");
        }
        if (c.pillowPng.empty() || !pillow)
            continue;
        Png ours(dir / c.pillowPng);
        RunResult ref = RunProgram({"/usr/bin/python3", SUPPORT_DIR "/pillow_pixels.py", source,
                                    std::to_string(ours.width()), std::to_string(ours.height())});
        ASSERT_EQ(ref.status, 0) << ref.err;
        ASSERT_EQ(ref.out.substr(0, ref.out.find('\n')),
                  std::to_string(ours.width()) + " " + std::to_string(ours.height()));
        const std::string hex = ref.out.substr(ref.out.find('\n') + 1);
        for (int y = 0; y < ours.height(); y++) {
            for (int x = 0; x < ours.width(); x++) {
                unsigned char p[4];
                for (int k = 0; k < 4; k++)
                    p[k] = static_cast<unsigned char>(
                        std::stoi(hex.substr(((y * ours.width() + x) * 4 + k) * 2, 2), nullptr, 16));
                Seen s = ours.at(x, y);
                if (c.alphaToo) {
                    ASSERT_EQ(s.transparent, p[3] == 0) << x << "," << y;
                }
                if (!s.transparent && (c.alphaToo || p[3] != 0)) {
                    ASSERT_EQ(s.colour, (Rgba{p[0], p[1], p[2], 0})) << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
