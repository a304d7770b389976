// gd2topng: writes a GD2 image file as a PNG file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_chores.h"
#include "gd2.h"
#include "gd_png.h"
#include "partial_output.h"
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

// Reads the whole stream into memory (malloc'd; the caller frees *data).
// Returns false, with errno set, when a read fails, memory runs out, or the
// stream holds more than kMaxInputBytes (EFBIG).
static bool read_all(FILE* in, unsigned char** data, size_t* size)
{
    size_t used = 0, capacity = 1 << 16;
    unsigned char* buffer = static_cast<unsigned char*>(malloc(capacity));
    while (buffer != nullptr) {
        used += fread(buffer + used, 1, capacity - used, in);
        if (used < capacity)
            break;
        if (capacity >= kMaxInputBytes) {
            free(buffer);
            errno = EFBIG;
            return false;
        }
        unsigned char* grown = static_cast<unsigned char*>(realloc(buffer, capacity * 2));
        if (grown == nullptr)
            free(buffer);
        buffer = grown;
        capacity *= 2;
    }
    if (buffer == nullptr) {
        errno = ENOMEM;
        return false;
    }
    if (ferror(in)) {
        int error = errno != 0 ? errno : EIO;
        free(buffer);
        errno = error;
        return false;
    }
    *data = buffer;
    *size = used;
    return true;
}

// Writes im as PNG under path, which must not be the input (by device and
// inode): opened without emptying it first, so that a link to the input is
// found before anything is lost. A partial file is removed, also when a
// signal ends the run.
static int write_output(gdImagePtr im, const char* path, const struct stat& input)
{
    int fd;
    {
        SignalsHeld held;
        fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        struct stat status;
        if (fd >= 0 && fstat(fd, &status) == 0 && SameFile(status, input.st_dev, input.st_ino)) {
            close(fd);
            return fail(path, "the output is the input file");
        }
        if (fd >= 0 && S_ISREG(status.st_mode) && ftruncate(fd, 0) != 0) {
            int error = errno;
            close(fd);
            return fail(path, strerror(error));
        }
        if (fd >= 0)
            SetPartialOutput(path);
    }
    FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (out == nullptr) {
        int error = errno;
        if (fd >= 0)
            close(fd);
        RemoveIfRegular(path);
        SetPartialOutput(nullptr);
        return fail(path, strerror(error));
    }
    int error = 0;
    const char* failure = WritePng(im, out, &error);
    if (fclose(out) != 0 && failure == nullptr) {
        failure = "error writing";
        error = errno;
    }
    if (failure != nullptr) {
        RemoveIfRegular(path);
        SetPartialOutput(nullptr);
        char reason[160];
        snprintf(reason, sizeof reason, "%s%s%s", failure, error != 0 ? ": " : "", error != 0 ? strerror(error) : "");
        return fail(path, reason);
    }
    SetPartialOutput(nullptr);
    return 0;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        return kStatusFailed;
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        printf("%s\n"
               "Reads a GD2 image file (libgd's own format: palette or true colour,\n"
               "raw or zlib-compressed chunks) and writes it as a PNG file.\n"
               "\n"
               "      --help     show this help and exit\n"
               "      --version  show the version and exit\n",
               kUsage);
        return StandardOutputWritten() ? 0 : kStatusFailed;
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("gd2topng %s\n", CONVERTER_VERSION);
        return StandardOutputWritten() ? 0 : kStatusFailed;
    }
    if (argc != 3) {
        fprintf(stderr, "%s\n", kUsage);
        return kStatusUsage;
    }
    const char* inputPath = argv[1];
    FILE* in = fopen(inputPath, "rb");
    struct stat input;
    if (in == nullptr)
        return fail(inputPath, strerror(errno));
    if (fstat(fileno(in), &input) != 0 || S_ISDIR(input.st_mode)) {
        int error = S_ISDIR(input.st_mode) ? EISDIR : errno;
        fclose(in);
        return fail(inputPath, strerror(error));
    }
    unsigned char* data = nullptr;
    size_t size = 0;
    bool read = read_all(in, &data, &size);
    int error = errno;
    fclose(in);
    if (!read)
        return fail(inputPath, strerror(error));
    const char* fault = nullptr;
    gdImagePtr im = read_gd2(data, size, &fault);
    free(data);
    if (im == nullptr)
        return fail(inputPath, fault);
    RemovePartialOutputOnSignals();
    int status = write_output(im, argv[2], input);
    gdImageDestroy(im);
    return status;
}
