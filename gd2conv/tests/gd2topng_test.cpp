// gd2topng on libgd's own GD2 files and on files built in the test: every
// pixel read back from the PNG file, damaged and hostile files refused.
#include <gd.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "forgegd2.h"
#include "png_readback.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using forgegd2::Picture;
using forgegd2::Sample;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

const std::string kGd2topng = BIN_DIR "/gd2topng";

TEST(Gd2Corpus, ReadsWhatLibgdReadsRefusesTheRest)
{
    fs::path corpus = testutil::CorpusDir("gd2");
    if (corpus.empty())
        GTEST_SKIP() << "no corpus folder at " CORPUS_DIR;
    const struct {
        const char* file;
        bool reads;
    } cases[] = {
        {"conv_test.gd2", true},
        {"gdtest.gd2", true},
        {"bug00383.gd2", true},
        {"bug797.gd2", true},
        {"bug00209.gd2", false},
        {"too_few_image_data.gd2", false},
        {"bug00354a.gd2", false},
        {"bug00354b.gd2", false},
        {"empty.gd2", false},
        {"invalid_header.gd2", false},
        {"invalid_neg_size.gd2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const std::string in = (corpus / c.file).string();
        RunResult r = RunProgram({kGd2topng, in, dir / "out.png"});
        EXPECT_EQ(r.status, c.reads ? 0 : 2) << r.err;
        EXPECT_EQ(r.err.rfind("gd2topng: " + in + ": ", 0) == 0, !c.reads) << r.err;
        Png png(dir / "out.png");
        ASSERT_EQ(png.ok(), c.reads);
        // A transparent index beyond the palette (colour 1 of 1) is ignored.
        if (std::string(c.file) == "bug00383.gd2") {
            EXPECT_EQ(gdImageGetTransparent(png.image()), -1);
        }
        if (std::string(c.file) == "conv_test.gd2") {
            Png want((corpus / "conv_test_exp.png").string());
            ASSERT_TRUE(want.ok());
            ASSERT_EQ(png.width(), want.width());
            ASSERT_EQ(png.height(), want.height());
            for (int y = 0; y < want.height(); y++)
                for (int x = 0; x < want.width(); x++)
                    ASSERT_EQ(png.argb(x, y), want.argb(x, y)) << x << "," << y;
            EXPECT_EQ(png.argb(5, 5) & 0xFFFFFF, 0xFFFFFFu);
        }
    }
}

// Every pixel of the PNG against the picture: the four formats, both
// versions, chunks cut at the image's edge (70 x 65 in chunks of 64).
TEST(Gd2Pixels, EveryFormatRoundTrips)
{
    Picture beyond = Sample(1);
    beyond.colours = 2;  // pixels name colours 2 and 3 as well
    // Pixels of the transparent colour's red, green and blue come out fully
    // clear, whatever alpha they store.
    Picture clear = Sample(4);
    clear.transparent = 0x00030201;
    clear.pixel = [](int x, int y) { return (x + y) % 3 == 0 ? 0x20030201u : static_cast<uint32_t>(x << 16 | y); };
    const struct {
        const char* name;
        Picture picture;
        int transparent;  // what the PNG marks, or -1
    } cases[] = {
        {"palette raw", Sample(1), -1},          {"palette compressed", Sample(2), -1},
        {"true colour raw", Sample(3), -1},      {"true colour compressed", Sample(4), -1},
        {"version 1 palette", Sample(2, 1), -1}, {"indices beyond the colour count", beyond, -1},
        {"one chunk", Sample(2, 2, 8, 8), -1},   {"true colour with a transparent colour", clear, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        testutil::WriteFile(dir / "in.gd2", forgegd2::File(c.picture));
        RunResult r = RunProgram({kGd2topng, dir / "in.gd2", dir / "out.png"});
        ASSERT_EQ(r.status, 0) << r.err;
        Png png(dir / "out.png");
        ASSERT_TRUE(png.ok());
        const Picture& p = c.picture;
        ASSERT_EQ(png.width(), p.width);
        ASSERT_EQ(png.height(), p.height);
        EXPECT_EQ(gdImageGetTransparent(png.image()), c.transparent);
        for (int y = 0; y < p.height; y++) {
            for (int x = 0; x < p.width; x++) {
                uint32_t v = p.pixel(x, y);
                auto e = p.entry(static_cast<int>(v));
                uint32_t want = p.format >= 3 ? v : static_cast<uint32_t>(e[3]) << 24 | e[0] << 16 | e[1] << 8 | e[2];
                if (p.format >= 3 && p.transparent != -1 && (v & 0xFFFFFF) == (p.transparent & 0xFFFFFFu))
                    want = 0x7F000000u | (v & 0xFFFFFF);
                ASSERT_EQ(png.argb(x, y), want) << x << "," << y;
            }
        }
    }
}

// Damaged and hostile files: refused with the reason, nothing written.
TEST(Gd2Hostile, RefusedWithTheReason)
{
    const std::string good = forgegd2::File(Sample(2));
    auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        std::string b = good;
        for (uint8_t v : bytes)
            b[at++] = static_cast<char>(v);
        return b;
    };
    // Every entry of the chunk index names one stream, the file cut after
    // it: 1024 chunks of 64 x 64 would inflate to 16 MB from 8 KB.
    Picture zeros = Sample(4, 2, 2048, 2048);
    zeros.pixel = [](int, int) { return 0u; };
    std::string oneStream = forgegd2::File(zeros);
    auto be32 = [&](size_t at) {
        return static_cast<size_t>(static_cast<uint8_t>(oneStream[at])) << 24 |
               static_cast<uint8_t>(oneStream[at + 1]) << 16 | static_cast<uint8_t>(oneStream[at + 2]) << 8 |
               static_cast<uint8_t>(oneStream[at + 3]);
    };
    const size_t index = 18, firstStream = be32(index), streamSize = be32(index + 4);
    for (size_t i = 1; i < 32 * 32; i++)
        oneStream.replace(index + 8 * i, 8, oneStream.substr(index, 8));
    oneStream.resize(firstStream + streamSize);
    std::string hugeFile = forgegd2::File(Sample(4, 2, 8, 8));
    hugeFile.replace(6, 4, std::string("\x40\x00\x20\x00", 4));  // claims 16384 x 8192 in 1 byte-sized streams
    const struct {
        const char* name;
        std::string file, reason;
    } cases[] = {
        {"not GD2", "GIF89a and more bytes here", "not a GD2 file"},
        {"version 3", with(4, {0, 3}), "unknown GD2 version"},
        {"width 0", with(6, {0, 0}), "image size out of range"},
        {"negative height", with(8, {0x80, 0}), "image size out of range"},
        {"chunk size 63", with(10, {0, 63}), "chunk size out of range"},
        {"chunk size 4097", with(10, {0x10, 1}), "chunk size out of range"},
        {"format 5", with(12, {0, 5}), "unknown GD2 format"},
        {"no chunks down", with(16, {0, 0}), "chunk counts out of range"},
        {"chunks beyond the index", with(14, {0x7F, 0xFF}), "the chunk index runs past the end of the file"},
        {"stream past the end", with(18, {0, 1, 0, 0}), "a chunk lies outside the file"},
        {"empty stream", with(22, {0, 0, 0, 0}), "a chunk lies outside the file"},
        {"true-colour flag", with(18 + 4 * 8, {1}), "the true-colour flag does not match the format"},
        {"257 colours", with(18 + 4 * 8 + 1, {1, 1}), "more than 256 colours"},
        {"damaged stream", with(good.size() - 4, {0, 0, 0, 0}), "a compressed chunk is damaged or too short"},
        {"raw data short", forgegd2::File(Sample(3)).substr(0, forgegd2::File(Sample(3)).size() - 1),
         "too little image data"},
        {"a huge image in a small file", hugeFile, "too little image data"},
        {"one stream for every chunk", oneStream, "the chunks name more data than the file holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        testutil::WriteFile(dir / "in.gd2", c.file);
        RunResult r = RunProgram({kGd2topng, "in.gd2", "out.png"}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "gd2topng: in.gd2: " + c.reason + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
    // Every prefix of a file is refused, none crashes or hangs.
    TempDir dir;
    for (size_t n = 0; n < good.size(); n++) {
        testutil::WriteFile(dir / "in.gd2", good.substr(0, n));
        ASSERT_EQ(RunProgram({kGd2topng, dir / "in.gd2", dir / "out.png"}, testutil::Timeout(10)).status, 2) << n;
    }
}

// The command line: usage, help, version, a missing input, an output that
// is the input, a pipe.
TEST(Gd2CommandLine, StatusesAndStreams)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.gd2", forgegd2::File(Sample(2, 2, 8, 8)));
    const struct {
        std::string command;  // G stands for gd2topng
        int status;
        std::string err;
        bool png;  // out.png is a PNG afterwards
    } cases[] = {
        {"G in.gd2", 1, "Usage: gd2topng file.gd2 file.png\n", false},
        {"G --version", 0, "", false},
        {"G -- in.gd2 out.png", 0, "", true},
        {"G in.gd2 --help", 0, "", false},
        {"G -x in.gd2 out.png", 1, "G: invalid option -- 'x'\nTry 'gd2topng --help' for more information.\n", false},
        {"G nope.gd2 out.png", 2, "gd2topng: nope.gd2: No such file or directory\n", false},
        {"ln -s in.gd2 out.png && G in.gd2 out.png", 2, "gd2topng: out.png: the output is the input file\n", false},
        {"cat in.gd2 | G /dev/stdin out.png", 0, "", true},
        {"G in.gd2 no/such/out.png", 2, "gd2topng: no/such/out.png: No such file or directory\n", false},
        // The first bytes decide, before an endless pipe is read.
        {"yes | G /dev/stdin out.png", 2, "gd2topng: /dev/stdin: not a GD2 file\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        fs::remove(dir / "out.png");
        std::string command = c.command;
        command.replace(command.find('G'), 1, kGd2topng);
        RunResult r = RunProgram({"/bin/sh", "-c", command}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, c.status);
        std::string err = c.err;
        if (err.rfind("G:", 0) == 0)
            err.replace(0, 1, kGd2topng);
        EXPECT_EQ(r.err, err);
        EXPECT_EQ(Png(dir / "out.png").ok(), c.png);
    }
    EXPECT_EQ(testutil::ReadFile(dir / "in.gd2"), forgegd2::File(Sample(2, 2, 8, 8)));
}

}  // namespace
