// The icon converter: reads Windows icon and cursor files and writes every
// image they hold as a PNG file through libgd.
#pragma once

#include <gd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// File header and directory.
struct icon_dir_entry {
    uint8_t width, height, colour_count, reserved;
    uint16_t planes, bit_count;
    uint32_t bytes_in_resource;  // length of the image data
    uint32_t image_offset;       // from the start of the file
};

struct icon_header {
    uint16_t reserved, type;
    uint16_t count;              // directory entries
    icon_dir_entry* entries;
};

// One image while it is read, decoded and written: the bitmap header's
// fields and the three blocks that follow it.
struct icon_image {
    uint32_t header_size;
    int32_t width;
    int32_t height;              // twice the image height: colours and mask
    uint16_t planes;
    int16_t bit_count;
    uint32_t compression;
    int32_t image_size;
    int32_t x_resolution, y_resolution;
    uint32_t colours_used, important_colours;
    unsigned char* palette;      // 2^bit_count x 4 bytes (B, G, R, unused), or null
    unsigned char* pixels;       // h rows, bottom row first, each padded to 4 bytes
    unsigned char* mask;         // h rows of 1 bit per pixel, 1 = transparent
};

// The output name stem of the file being processed: the argument without
// its extension.
extern char* global_file_name;

// Exit status of the whole run so far: 0, or 2 once an image was skipped or
// could not be written.
extern int exit_status;

// The allocator behind icon_alloc (calloc); tests replace it to provoke
// allocation failures.
extern void* (*icon_calloc)(size_t count, size_t size);

// Allocates count zero-filled bytes; on failure reports "malloc" on
// standard error and ends the program with status 1.
void* icon_alloc(size_t count);

// Processes the icon file at path. Returns 0, or -1 (silently) when it
// cannot be opened.
int load_icon(const char* path);
int load_icon_file(FILE* file);
// Reads, decodes and writes one directory entry's image. file_size is the
// file's size (UINT64_MAX if unknown); budget is what is left of the pixels
// the file may still make, lowered by this image.
int load_icon_image(FILE* file, int index, const icon_header* header, uint64_t file_size,
                    uint64_t* budget);

// Image height: the colour bitmap and the mask are counted together.
inline int32_t image_height(const icon_image* img) { return img->height / 2; }
// Row lengths in bytes, padded to a multiple of 4.
inline uint64_t colour_row_length(const icon_image* img)
{
    return (static_cast<uint64_t>(img->width) * static_cast<uint64_t>(img->bit_count) + 31) / 32 * 4;
}
inline uint64_t mask_row_length(const icon_image* img)
{
    return (static_cast<uint64_t>(img->width) + 31) / 32 * 4;
}

// Decoders by bit depth; each hands its gd image to write_png.
int process_32bit(const icon_image* img);
int process_24bit(const icon_image* img);
int ico2png(const icon_image* img);
// 1 when the mask marks the pixel at stored row r, column x transparent.
int check_transparency(int r, int x, const icon_image* img);

// Called by write_png with each decoded image before it is written; null
// by default. The fuzzing harness checks the images through it.
extern void (*on_image_decoded)(const icon_image* img, gdImagePtr im);

// Writes the gd image as PNG beside the input, destroys it and completes
// the report line. Returns 0, or -1 when the file could not be written.
int write_png(const icon_image* img, gdImagePtr im);

// Writes PNG data taken from an icon entry unchanged under the name that
// width, height and bits per pixel give, and completes the report line.
int write_png_bytes(const unsigned char* data, size_t size, int width, int height, int bpp);
