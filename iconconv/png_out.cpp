// PNG output: files named after the input's stem, the image's size and its
// bit depth, written beside the input or into the output folder, or one
// image to standard output. Within one
// input file no image replaces another's file (a later one gets _2, _3, ...
// before ".png"), no output replaces the input, and an entry whose data an
// earlier entry already wrote under the same name is not written again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "file_chores.h"
#include "gd_png.h"
#include "partial_output.h"
#include "icon.h"

char* output_name(const icon_file* file, int width, int height, int bpp)
{
    const char* stem = file->stem;
    const char* folder = "";
    const char* separator = "";
    const char* directory = file->options->output_directory;
    if (directory != nullptr) {
        const char* base = strrchr(stem, '/');
        stem = base == nullptr ? stem : base + 1;
        folder = directory;
        size_t length = strlen(folder);
        separator = length > 0 && folder[length - 1] != '/' ? "/" : "";
    }
    // 64 characters hold every suffix the format can produce.
    size_t size = strlen(folder) + strlen(stem) + 64;
    char* name = static_cast<char*>(icon_alloc(size));
    snprintf(name, size, "%s%s%s_%02dX%02d_%dbpp.png", folder, separator, stem, width, height, bpp);
    return name;
}

const char* already_written(const icon_file* file, uint32_t offset, uint32_t png_size, const char* name)
{
    for (size_t i = 0; i < file->output_count; i++) {
        const icon_output& o = file->outputs[i];
        if (o.offset == offset && o.png_size == png_size && strcmp(o.name, name) == 0)
            return o.written;
    }
    return nullptr;
}

static char* copy_of(const char* text)
{
    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(icon_alloc(size));
    memcpy(copy, text, size);
    return copy;
}

// Records an output of the file under name, written as written (owned by
// the record from now on).
static void add_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, char* written)
{
    if (file->output_count == file->output_capacity) {
        size_t capacity = file->output_capacity == 0 ? 8 : file->output_capacity * 2;
        icon_output* grown = static_cast<icon_output*>(icon_alloc(capacity * sizeof(icon_output)));
        if (file->output_count > 0)
            memcpy(grown, file->outputs, file->output_count * sizeof(icon_output));
        free(file->outputs);
        file->outputs = grown;
        file->output_capacity = capacity;
    }
    file->outputs[file->output_count++] = icon_output{offset, png_size, copy_of(name), written};
}

void note_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name)
{
    add_output(file, offset, png_size, name, copy_of(name));
}

// Records a name that the run wrote.
static void add_written(icon_run* run, const char* name)
{
    if (run->count == run->capacity) {
        size_t capacity = run->capacity == 0 ? 16 : run->capacity * 2;
        char** grown = static_cast<char**>(icon_alloc(capacity * sizeof(char*)));
        if (run->count > 0)
            memcpy(grown, run->written, run->count * sizeof(char*));
        free(run->written);
        run->written = grown;
        run->capacity = capacity;
    }
    run->written[run->count++] = copy_of(name);
}

void free_icon_run(icon_run* run)
{
    for (size_t i = 0; i < run->count; i++)
        free(run->written[i]);
    free(run->written);
    *run = icon_run{};
}

static bool name_taken(const icon_run* run, const char* name)
{
    for (size_t i = 0; i < run->count; i++)
        if (strcmp(run->written[i], name) == 0)
            return true;
    return false;
}

// The name under which the output is written: its own, or with _2, _3, ...
// before ".png" when an earlier image of the run (of this file or an
// earlier one) took it. The caller frees it.
static char* unique_name(const icon_file* file, const char* name)
{
    size_t length = strlen(name), stem = length - 4;  // without ".png"
    char* candidate = static_cast<char*>(icon_alloc(length + 16));
    memcpy(candidate, name, length + 1);
    // The images of one name so far took the name and _2 up to _N in turn:
    // the search starts past them, so that many images of one size cost
    // time in proportion to their number, not its square.
    unsigned same = 0;
    for (size_t i = 0; i < file->output_count; i++)
        same += strcmp(file->outputs[i].name, name) == 0;
    for (unsigned n = same + 1; name_taken(file->run, candidate); n++)
        snprintf(candidate, length + 16, "%.*s_%u.png", static_cast<int>(stem), name, n < 2 ? 2 : n);
    return candidate;
}

// Completes the report line for an output that was not written, with the
// system's reason for error (0: none).
static int fail_output(const icon_file* file, const char* what, const char* name, int error = 0)
{
    fprintf(file->report, "%s %s%s%s)\n", what, name, error != 0 ? ": " : "", error != 0 ? strerror(error) : "");
    return -1;
}

// Opens the output for writing without emptying it first, so that a name
// that leads to the input itself (a link) is found before anything is lost.
// Returns null with *is_input set for that case, or null with errno set for
// a file that cannot be created.
static FILE* open_output(const icon_file* file, const char* name, bool* is_input)
{
    *is_input = false;
    int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) == 0 && (file->device != 0 || file->inode != 0) &&
        SameFile(status, file->device, file->inode)) {
        *is_input = true;
        close(fd);
        return nullptr;
    }
    FILE* out = nullptr;
    if (!S_ISREG(status.st_mode) || ftruncate(fd, 0) == 0)
        out = fdopen(fd, "wb");
    if (out == nullptr) {
        int error = errno;
        close(fd);
        errno = error;
    }
    return out;
}

// The name that report lines give standard output.
static const char* const kStandardOutput = "standard output";

// Writes one output under name (made unique), or to standard output for
// -o -, through write(out, &error), completing the report line and
// recording the output in the file and the run. write returns null when a
// complete stream reached the stream, else the words that name the failure
// with the system's reason in error (0 when there is none). A signal that
// ends the run meanwhile removes the partial file.
template <typename Write>
static int write_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, Write write)
{
    int error = 0;
    if (file->options->to_stdout) {
        const char* failure = write(stdout, &error);
        if (failure == nullptr && fflush(stdout) != 0) {
            failure = "error writing";
            error = errno;
        }
        if (failure != nullptr)
            return fail_output(file, failure, kStandardOutput, error);
        fprintf(file->report, "%s)\n", kStandardOutput);
        return 0;
    }
    char* written = unique_name(file, name);
    bool is_input;
    FILE* out;
    {
        SignalsHeld held;
        out = open_output(file, written, &is_input);
        if (out != nullptr)
            SetPartialOutput(written);
    }
    int result = 0;
    if (is_input) {
        fprintf(file->report, "skipped: the output %s is the input file)\n", written);
        result = -1;
    } else if (out == nullptr) {
        result = fail_output(file, "cannot create", written, errno);
    } else {
        const char* failure = write(out, &error);
        if (fclose(out) != 0 && failure == nullptr) {
            failure = "error writing";
            error = errno;
        }
        if (failure != nullptr) {
            RemoveIfRegular(written);
            result = fail_output(file, failure, written, error);
        }
        SetPartialOutput(nullptr);
    }
    if (result != 0) {
        free(written);
        return result;
    }
    fprintf(file->report, "%s)\n", written);
    add_written(file->run, written);
    add_output(file, offset, png_size, name, written);
    return 0;
}

int write_png(icon_file* file, uint32_t offset, const char* name, gdImagePtr im)
{
    return write_output(file, offset, 0, name, [im](FILE* out, int* error) { return WritePng(im, out, error); });
}

int write_png_bytes(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, const unsigned char* data)
{
    size_t size = png_size;
    return write_output(file, offset, png_size, name, [data, size](FILE* out, int* error) -> const char* {
        if (fwrite(data, 1, size, out) == size && fflush(out) == 0)
            return nullptr;
        *error = errno;
        return "error writing";
    });
}
