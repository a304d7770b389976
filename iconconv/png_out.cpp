// PNG output: files named after the input's stem, the image's size and its
// bit depth, written beside the input or into the output folder. Within one
// input file no image replaces another's file (a later one gets _2, _3, ...
// before ".png"), no output replaces the input, and an entry whose data an
// earlier entry already wrote under the same name is not written again.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "icon.h"

// The last 12 bytes of every complete PNG stream: the empty IEND chunk with
// its CRC.
static const unsigned char kPngEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

std::string output_name(int width, int height, int bpp)
{
    const char* stem = global_file_name;
    std::string name;
    if (output_directory != nullptr) {
        const char* base = strrchr(stem, '/');
        stem = base == nullptr ? stem : base + 1;
        name = output_directory;
        if (!name.empty() && name.back() != '/')
            name += '/';
    }
    char suffix[64];
    snprintf(suffix, sizeof suffix, "_%02dX%02d_%dbpp.png", width, height, bpp);
    return name + stem + suffix;
}

bool already_written(icon_file* file, const icon_output& output)
{
    for (const icon_output& o : file->outputs) {
        if (o.offset == output.offset && o.png_size == output.png_size && o.name == output.name) {
            printf("%s)\n", o.written.c_str());
            return true;
        }
    }
    return false;
}

// The name under which the output is written: its own, or with _2, _3, ...
// before ".png" when an earlier image of the file took it.
static std::string unique_name(const icon_file* file, const std::string& name)
{
    std::string candidate = name;
    for (unsigned n = 2;; n++) {
        bool taken = false;
        for (const icon_output& o : file->outputs)
            taken = taken || o.written == candidate;
        if (!taken)
            return candidate;
        candidate = name.substr(0, name.size() - 4) + "_" + std::to_string(n) + ".png";
    }
}

// Completes the report line for an output that was not written.
static int fail_output(const char* what, const std::string& name)
{
    printf("%s %s)\n", what, name.c_str());
    return -1;
}

// Removes a partial output, only when the name is a regular file.
static void remove_partial(const std::string& name)
{
    struct stat status;
    if (lstat(name.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        remove(name.c_str());
}

// Opens the output for writing without emptying it first, so that a name
// that leads to the input itself (a link) is found before anything is lost.
// Returns null with *is_input set for that case, or null for a file that
// cannot be created.
static FILE* open_output(const icon_file* file, const std::string& name, bool* is_input)
{
    *is_input = false;
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) == 0 && (file->device != 0 || file->inode != 0) &&
        status.st_dev == file->device && status.st_ino == file->inode) {
        *is_input = true;
        close(fd);
        return nullptr;
    }
    if (S_ISREG(status.st_mode) && ftruncate(fd, 0) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* out = fdopen(fd, "wb");
    if (out == nullptr)
        close(fd);
    return out;
}

// Writes one output through write(out), completing the report line and
// recording the output in the file. write returns whether every byte of a
// complete stream reached the stream; false names the failure in what.
template <typename Write>
static int write_output(icon_file* file, const icon_output& output, Write write)
{
    std::string name = unique_name(file, output.name);
    bool is_input;
    FILE* out = open_output(file, name, &is_input);
    if (is_input)
        return fail_output("skipped: the output", name + " is the input file");
    if (out == nullptr)
        return fail_output("cannot create", name);
    const char* failure = write(out);
    bool closed = fclose(out) == 0;
    if (failure == nullptr && !closed)
        failure = "error writing";
    if (failure != nullptr) {
        remove_partial(name);
        return fail_output(failure, name);
    }
    icon_output done = output;
    done.written = name;
    file->outputs.push_back(done);
    printf("%s)\n", name.c_str());
    return 0;
}

namespace {

// A gd output context in front of the stream that keeps the last bytes gd
// wrote and whether the stream took them all: libgd's PNG writer gives no
// result, but a stream that does not end with IEND was left unfinished.
struct png_sink {
    gdIOCtx ctx;
    FILE* out;
    bool write_failed;
    size_t written;
    unsigned char tail[sizeof kPngEnd];
};

int sink_put_buf(gdIOCtxPtr ctx, const void* data, int size)
{
    png_sink* sink = static_cast<png_sink*>(ctx->data);
    if (size <= 0)
        return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    size_t n = static_cast<size_t>(size);
    if (fwrite(bytes, 1, n, sink->out) != n)
        sink->write_failed = true;
    for (size_t i = n > sizeof sink->tail ? n - sizeof sink->tail : 0; i < n; i++) {
        memmove(sink->tail, sink->tail + 1, sizeof sink->tail - 1);
        sink->tail[sizeof sink->tail - 1] = bytes[i];
    }
    sink->written += n;
    return size;
}

void sink_put_c(gdIOCtxPtr ctx, int c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    sink_put_buf(ctx, &byte, 1);
}

void sink_free(gdIOCtxPtr) {}

}  // namespace

void (*on_image_decoded)(const icon_image*, gdImagePtr) = nullptr;

int write_png(const icon_image* img, gdImagePtr im)
{
    if (on_image_decoded != nullptr)
        on_image_decoded(img, im);
    icon_output output = {img->offset, 0, output_name(img->width, image_height(img), img->bit_count), ""};
    int result = write_output(img->file, output, [im](FILE* out) -> const char* {
        png_sink sink = {};
        sink.ctx.putC = sink_put_c;
        sink.ctx.putBuf = sink_put_buf;
        sink.ctx.gd_free = sink_free;
        sink.ctx.data = &sink;
        sink.out = out;
        gdImagePngCtx(im, &sink.ctx);
        if (sink.written < sizeof kPngEnd || memcmp(sink.tail, kPngEnd, sizeof kPngEnd) != 0)
            return "libgd could not encode";
        return sink.write_failed || ferror(out) ? "error writing" : nullptr;
    });
    gdImageDestroy(im);
    return result;
}

int write_png_bytes(icon_file* file, const icon_output& output, const unsigned char* data,
                    size_t size)
{
    return write_output(file, output, [data, size](FILE* out) -> const char* {
        return fwrite(data, 1, size, out) != size || ferror(out) ? "error writing" : nullptr;
    });
}
