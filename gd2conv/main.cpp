// gd2topng: writes a GD2 image file as a PNG file.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_chores.h"
#include "gd2.h"
#include "gd_png.h"
#include "output_file.h"
#include "seekable_stream.h"
#include "standard_streams.h"

// Exit statuses: 0 when the PNG file was written, 1 for a wrong command
// line, 2 when the input cannot be read or converted or the output cannot
// be written.
enum { kStatusUsage = 1, kStatusFailed = 2 };

static const char* const kUsage = "Usage: gd2topng file.gd2 file.png";

static int fail(const char* name, const char* reason)
{
    fprintf(stderr, "gd2topng: %s: %s\n", name, reason);
    return kStatusFailed;
}

// Inputs of more bytes are refused: the largest image the reader takes,
// true-colour and raw, needs 512 MB.
enum : size_t { kMaxInputBytes = size_t{1} << 30 };

// Writes im as PNG under path, which must not be the input (by device and
// inode), through the shared output file: whole or not at all.
static int write_output(gdImagePtr im, const char* path, const struct stat& input)
{
    output_file out;
    int opened = output_open(&out, path, "gd2topng", &input);
    if (opened == kOutputIsInput)
        return fail(path, "the output is the input file");
    if (opened != 0)
        return fail(path, strerror(errno));
    int error = 0;
    const char* failure = WritePng(im, out.stream, &error);
    if (failure == nullptr && output_commit(&out) != 0) {
        failure = "error writing";
        error = errno;
    }
    if (failure != nullptr) {
        output_abandon(&out);
        char reason[160];
        snprintf(reason, sizeof reason, "%s%s%s", failure, error != 0 ? ": " : "", error != 0 ? strerror(error) : "");
        return fail(path, reason);
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        return kStatusFailed;
    enum { kHelp = 256, kVersion };
    static const option kOptions[] = {
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    for (int c; (c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
        switch (c) {
        case kHelp:
            printf("%s\n"
                   "Reads a GD2 image file (libgd's own format: palette or true colour,\n"
                   "raw or zlib-compressed chunks) and writes it as a PNG file.\n"
                   "\n"
                   "      --help     show this help and exit\n"
                   "      --version  show the version and exit\n"
                   "  --             end of options: the next two arguments are files\n",
                   kUsage);
            return StandardOutputWritten() ? 0 : kStatusFailed;
        case kVersion:
            printf("gd2topng %s\n", CONVERTER_VERSION);
            return StandardOutputWritten() ? 0 : kStatusFailed;
        default:
            fprintf(stderr, "Try 'gd2topng --help' for more information.\n");
            return kStatusUsage;
        }
    }
    if (argc - optind != 2) {
        fprintf(stderr, "%s\n", kUsage);
        return kStatusUsage;
    }
    argv += optind;
    const char* input_path = argv[0];
    struct stat input;
    FILE* in = OpenInput(input_path, &input);
    if (in == nullptr)
        return fail(input_path, strerror(errno));
    // Standard output carries nothing of ours: the only check is that it is
    // not the input, which the output's name is checked against below.
    // The kind is told by the first bytes, before a pipe is read whole.
    unsigned char head[sizeof kGd2Signature];
    size_t got = fread(head, 1, sizeof head, in);
    if (got < sizeof head || memcmp(head, kGd2Signature, sizeof head) != 0) {
        int error = ferror(in) ? (errno != 0 ? errno : EIO) : 0;
        fclose(in);
        return fail(input_path, error != 0 ? strerror(error) : "not a GD2 file");
    }
    unsigned char* data = nullptr;
    size_t size = 0;
    bool read = ReadWholeStream(in, head, got, kMaxInputBytes, &data, &size);
    int error = errno;
    fclose(in);
    if (!read)
        return fail(input_path, strerror(error));
    const char* fault = nullptr;
    gdImagePtr im = read_gd2(data, size, &fault);
    free(data);
    if (im == nullptr)
        return fail(input_path, fault);
    remove_output_on_signals();
    int status = write_output(im, argv[1], input);
    gdImageDestroy(im);
    return status;
}
