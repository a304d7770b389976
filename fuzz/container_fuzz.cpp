// The icon converter on an in-memory file of one container kind, chosen
// when the harness is built (CONTAINER: 1 animated cursors, 2 PE programs,
// 3 NE programs): the input's first bytes are made that kind's, so that
// every run goes past them into the container's own structures. Each input
// is listed (every member, its directory and every check) or, by its
// length, converted with --largest into a stream that discards the PNG
// data: one pass a run, as a frame of 65,535 entries (a few hundred bytes
// can hold one) takes half a second of the one-second limit under the
// sanitizers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file_input.h"
#include "icon.h"

static FILE* discard;

static const uint64_t kMaxUnbackedPixels = uint64_t{1} << 20;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    discard = DiscardingStream();
    return 0;
}

// The input with the container's magic written over its first bytes.
static std::vector<uint8_t> OfTheKind(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> file(data, data + size);
#if CONTAINER == 1
    file.resize(file.size() < 12 ? 12 : file.size());
    memcpy(file.data(), "RIFF", 4);
    memcpy(file.data() + 8, "ACON", 4);
#else
    file.resize(file.size() < 0x44 ? 0x44 : file.size());
    memcpy(file.data(), "MZ", 2);
    const uint8_t lfanew[4] = {0x40, 0, 0, 0};
    memcpy(file.data() + 0x3C, lfanew, 4);
    memcpy(file.data() + 0x40, CONTAINER == 2 ? "PE\0\0" : "NE", CONTAINER == 2 ? 4 : 2);
#endif
    return file;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> file = OfTheKind(data, size);
    static const icon_options kList = {nullptr, false, true, 0, 0, 0, 0, false, nullptr, 0};
    static const icon_options kLargest = {nullptr, true, false, 0, 0, 0, 0, true, nullptr, 0};
    const icon_options* options = size % 2 == 0 ? &kList : &kLargest;
    FILE* in = OpenAsFile(file.data(), file.size());
    if (in == nullptr)
        return 0;
    icon_run run = {};
    icon_file f;
    init_icon_file(&f, in, file.size(), "fuzz.bin", options, &run);
    f.report = discard;
    // Pixels without data behind them: a megapixel, not the program's one
    // largest image, which a few bytes can ask for and which outlasts the
    // run's one-second limit under the sanitizers.
    f.budget = f.budget < kMaxUnbackedPixels ? f.budget : kMaxUnbackedPixels;
    load_icon_file(&f);
    free_icon_file(&f);
    free_icon_run(&run);
    fclose(in);
    return 0;
}
