// The icon converter: reads Windows icon and cursor files and writes every
// image they hold as a PNG file through libgd.
#pragma once

#include <gd.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// File header and directory.
struct icon_dir_entry {
    uint8_t width, height, colour_count, reserved;
    uint16_t planes, bit_count;
    uint32_t bytes_in_resource;  // length of the image data
    uint32_t image_offset;  // from the start of the file
};

struct icon_header {
    uint16_t reserved, type;
    uint16_t count;  // directory entries
    icon_dir_entry* entries;
};

// A PNG file written for an image of the file being converted: the entry's
// data (image offset, and for PNG data its size) and the name.
struct icon_output {
    uint32_t offset;
    uint32_t png_size;  // 0 for a bitmap image
    char* name;  // as output_name gave it; owned
    char* written;  // the name written: name made unique; owned
};

// One input file while it is converted, shared by its images.
struct icon_file {
    FILE* stream;
    uint64_t size;  // bytes in the file
    dev_t device;  // the input's identity, which no output may
    ino_t inode;  // replace; both 0 for a stream of no file
    // Pixels without data behind them (beyond the end of the file, read as
    // zeros) that the file's images may still make.
    uint64_t budget;
    icon_output* outputs;  // the files written so far, in order
    size_t output_count, output_capacity;
};

// Releases the file's list of outputs.
void free_outputs(icon_file* file);

// One image while it is read, decoded and written: the bitmap header's
// fields and the three blocks that follow it.
struct icon_image {
    uint32_t header_size;
    int32_t width;
    int32_t height;  // twice the image height: colours and mask
    uint16_t planes;
    int16_t bit_count;
    uint32_t compression;
    int32_t image_size;
    int32_t x_resolution, y_resolution;
    uint32_t colours_used, important_colours;
    unsigned char* palette;  // 2^bit_count x 4 bytes (B, G, R, unused), or null
    unsigned char* pixels;  // h rows, bottom row first, each padded to 4 bytes
    unsigned char* mask;  // h rows of 1 bit per pixel, 1 = transparent
    icon_file* file;  // the file it came from
    uint32_t offset;  // its directory entry's image offset
};

// The output name stem of the file being processed: the argument without
// its extension.
extern char* global_file_name;

// The folder that the PNG files go into (-o), or null: beside the input.
// With a folder, the names start with the last component of the stem.
extern const char* output_directory;

// The allocator behind icon_alloc (calloc); tests replace it to provoke
// allocation failures.
extern void* (*icon_calloc)(size_t count, size_t size);

// Allocates count zero-filled bytes; on failure reports "malloc" on
// standard error and ends the program with status 1.
void* icon_alloc(size_t count);

// Processes the icon file at path. Returns 0 when every image was written,
// -1 when the file cannot be opened or is not an icon or cursor file (one
// line on standard error says why) or when any image was skipped or could
// not be written (its report line says why).
int load_icon(const char* path);
// Reads the header and directory of file and converts every entry. Returns
// 0, -1 when an image was skipped or not written, or kNotAnIcon (nothing
// printed) when the header is not an icon or cursor header.
enum { kNotAnIcon = -2 };
int load_icon_file(icon_file* file);
// Reads, decodes and writes one directory entry's image. Returns 0, or -1
// when it was skipped or could not be written.
int load_icon_image(icon_file* file, int index, const icon_header* header);

// Image height: the colour bitmap and the mask are counted together.
inline int32_t image_height(const icon_image* img) { return img->height / 2; }
// Row lengths in bytes, padded to a multiple of 4.
inline uint64_t colour_row_length(const icon_image* img)
{
    return (static_cast<uint64_t>(img->width) * static_cast<uint64_t>(img->bit_count) + 31) / 32 * 4;
}
inline uint64_t mask_row_length(const icon_image* img) { return (static_cast<uint64_t>(img->width) + 31) / 32 * 4; }

// Decoders by bit depth; each hands its gd image to write_png.
int process_32bit(const icon_image* img);
int process_24bit(const icon_image* img);
int ico2png(const icon_image* img);
// 1 when the mask marks the pixel at stored row r, column x transparent.
int check_transparency(int r, int x, const icon_image* img);

// Called by write_png with each decoded image before it is written; null
// by default. The fuzzing harness checks the images through it.
extern void (*on_image_decoded)(const icon_image* img, gdImagePtr im);

// The name an image of the size and depth gets before it is made unique
// within its file: STEM_WWXHH_Bbpp.png, in the output folder if one is set.
// The caller frees it.
char* output_name(int width, int height, int bpp);

// When an earlier entry of the file wrote the same data (the same offset,
// and for PNG data the same size) under the same name, completes the report
// line with that file's name and returns true: it need not be made again.
bool already_written(const icon_file* file, uint32_t offset, uint32_t png_size, const char* name);

// Writes the gd image as PNG through libgd, destroys it and completes the
// report line. Returns 0, or -1 when the file could not be written.
int write_png(const icon_image* img, gdImagePtr im);

// Writes PNG data taken from an icon entry (at offset, of png_size bytes)
// unchanged under name (made unique), and completes the report line.
// Returns 0, or -1 as write_png.
int write_png_bytes(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, const unsigned char* data);
