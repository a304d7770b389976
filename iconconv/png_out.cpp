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

#include "gd_png.h"
#include "output_file.h"
#include "png_out.h"

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

// FNV-1a of a name: the run's names are the user's file names, not data
// read from a file, so no seed is needed.
static size_t hash_name(const char* name)
{
    uint64_t h = 14695981039346656037u;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; p++)
        h = (h ^ *p) * 1099511628211u;
    return static_cast<size_t>(h ^ (h >> 29));
}

// The slot of name in the run's table: the one holding it, or the empty
// slot where it would go.
static size_t find_slot(const icon_run* run, const char* name)
{
    size_t mask = run->slots - 1, s = hash_name(name) & mask;
    while (run->names[s] != nullptr && strcmp(run->names[s], name) != 0)
        s = (s + 1) & mask;
    return s;
}

static bool name_taken(const icon_run* run, const char* name)
{
    return run->slots != 0 && run->names[find_slot(run, name)] != nullptr;
}

// Records a name that the run wrote (owned by the run from now on), with
// the next suffix to try for it; the table stays at most half full.
static void add_name(icon_run* run, char* name, unsigned next_suffix)
{
    if (2 * (run->count + 1) > run->slots) {
        icon_run grown = {};
        grown.slots = run->slots == 0 ? 64 : run->slots * 2;
        grown.names = static_cast<char**>(icon_alloc(grown.slots * sizeof(char*)));
        grown.next_suffix = static_cast<unsigned*>(icon_alloc(grown.slots * sizeof(unsigned)));
        for (size_t i = 0; i < run->slots; i++) {
            if (run->names[i] == nullptr)
                continue;
            size_t s = find_slot(&grown, run->names[i]);
            grown.names[s] = run->names[i];
            grown.next_suffix[s] = run->next_suffix[i];
        }
        grown.count = run->count;
        free(run->names);
        free(run->next_suffix);
        *run = grown;
    }
    size_t s = find_slot(run, name);
    run->names[s] = name;
    run->next_suffix[s] = next_suffix;
    run->count++;
}

void free_icon_run(icon_run* run)
{
    for (size_t i = 0; i < run->slots; i++)
        free(run->names[i]);
    free(run->names);
    free(run->next_suffix);
    *run = icon_run{};
}

// The name under which the output is written: its own, or with _2, _3, ...
// before ".png" when an earlier image of the run (of this file or an
// earlier one) took it. Each name remembers the suffix to try next, so
// that many images of one name cost constant time each, however many
// files of one stem share the output folder. The caller frees it.
static char* unique_name(icon_run* run, const char* name)
{
    size_t length = strlen(name), stem = length - 4;  // without ".png"
    char* candidate = static_cast<char*>(icon_alloc(length + 16));
    memcpy(candidate, name, length + 1);
    if (!name_taken(run, name))
        return candidate;
    size_t slot = find_slot(run, name);
    unsigned n = run->next_suffix[slot];
    do
        snprintf(candidate, length + 16, "%.*s_%u.png", static_cast<int>(stem), name, n++);
    while (name_taken(run, candidate));
    run->next_suffix[find_slot(run, name)] = n;
    return candidate;
}

const char* const kOutputWasInput = "the output is the input file";

// Writes one output under name (made unique), or to standard output for
// -o -, through write(out, &error), recording a written output in the file
// and the run. write returns null when a complete stream reached the
// stream, else the words that name the failure with the system's reason in
// error (0 when there is none). A signal that ends the run meanwhile
// removes the partial file.
template <typename Write>
static png_outcome write_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, Write write)
{
    png_outcome outcome = {nullptr, nullptr, 0};
    if (file->options->to_stdout) {
        outcome.name = copy_of("standard output");
        outcome.failure = write(stdout, &outcome.error);
        if (outcome.failure == nullptr && fflush(stdout) != 0) {
            outcome.failure = "error writing";
            outcome.error = errno;
        }
        return outcome;
    }
    outcome.name = unique_name(file->run, name);
    struct stat input = {};
    input.st_dev = file->device;
    input.st_ino = file->inode;
    bool from_file = file->device != 0 || file->inode != 0;
    output_file out;
    int opened = output_open(&out, outcome.name, "pngsmith", from_file ? &input : nullptr);
    if (opened == kOutputIsInput) {
        outcome.failure = kOutputWasInput;
        return outcome;
    }
    if (opened != 0) {
        outcome.failure = "cannot create";
        outcome.error = errno;
        return outcome;
    }
    outcome.failure = write(out.stream, &outcome.error);
    if (outcome.failure == nullptr && output_commit(&out) != 0) {
        outcome.failure = "error writing";
        outcome.error = errno;
    }
    if (outcome.failure != nullptr) {
        output_abandon(&out);
        return outcome;
    }
    add_output(file, offset, png_size, name, copy_of(outcome.name));
    add_name(file->run, copy_of(outcome.name), 2);
    return outcome;
}

png_outcome write_png(icon_file* file, uint32_t offset, const char* name, gdImagePtr im)
{
    return write_output(file, offset, 0, name, [im](FILE* out, int* error) { return WritePng(im, out, error); });
}

png_outcome write_png_bytes(icon_file* file, uint32_t offset, uint32_t png_size, const char* name,
                            const unsigned char* data)
{
    size_t size = png_size;
    return write_output(file, offset, png_size, name, [data, size](FILE* out, int* error) -> const char* {
        if (fwrite(data, 1, size, out) == size && fflush(out) == 0)
            return nullptr;
        *error = errno;
        return "error writing";
    });
}
