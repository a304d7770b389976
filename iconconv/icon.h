// The icon converter's reading side: the options of a run, the input file
// being read, and its images, wherever their kind of file keeps them.
// decode.h turns an image into a gd image; png_out.h writes it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "terminal_text.h"

// What the command line asks of every file. A selection field of 0 (false)
// matches every image.
struct icon_options {
    const char* output_directory;  // -o DIR, or null: beside each input
    bool to_stdout;  // -o -: the one selected image's PNG to standard output
    bool list;  // --list: describe the images, write nothing
    unsigned index;  // --index, from 1
    int32_t width, height;  // --width, --height
    int bit_depth;  // --bit-depth
    bool largest;  // --largest: the largest area, then the deepest, then the first
    const char* group;  // --group: a program's icon group, by name or ID, or null
    unsigned frame;  // --frame: an animated cursor's frame, from 1
};

// The names of the PNG files that one run of the program wrote, shared by
// its files: no output of a run replaces another of the same run. An open
// hash table of names, at most half full.
struct icon_run {
    char** names;  // slots: a name (owned) or null
    unsigned* next_suffix;  // per name: the _N to try when it is taken again
    size_t count, slots;
};
void free_icon_run(icon_run* run);

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
    const char* path;  // as named on the command line
    char* stem;  // the path without its extension (and for a member of a container, its label after it); owned
    const char* shown;  // a container's member: how report lines name it ("group MAIN"), else null
    const icon_options* options;
    icon_run* run;  // the run it belongs to
    FILE* report;  // where the report lines go
    NameEscapes names;  // how names are written into them
    // Pixels without data behind them (beyond the end of the file, read as
    // zeros) that the file's images may still make.
    uint64_t budget;
    icon_output* outputs;  // the files written so far, in order
    size_t output_count, output_capacity;
};

// Sets up file for the stream of the input named path, converted in run
// (stem, report stream, budget); load_icon_file then reads it. Release it
// with free_icon_file, which does not close the stream.
void init_icon_file(icon_file* file, FILE* stream, uint64_t size, const char* path, const icon_options* options,
                    icon_run* run);
void free_icon_file(icon_file* file);

// How an image's blocks are stored in its file.
enum class image_store : uint8_t {
    kIcoBitmap,  // a BITMAPINFOHEADER, palette, colour rows, mask rows
    kPng,  // PNG data
    kOs2,  // OS/2: mask pair and colour bitmap, each after its own header
    kWin1,  // Windows 1.x and 2.x: AND then XOR rows, top row first
};

// One image of a file and what its own headers say of it. Width, height
// and depth come from the image's headers, never from a directory.
struct icon_entry {
    unsigned number;  // from 1, in file order
    image_store store;
    uint32_t offset;  // the image data's (or its first header's) position
    uint32_t bytes;  // the image data's size, as the directory gives it
    uint16_t hotspot_x, hotspot_y;  // a cursor's or pointer's
    bool cursor;  // the hotspot means something
    int64_t width, height;  // the image's (a bitmap header counts its mask in its height field)
    int bpp;
    long size_field;  // reported as "Sz": the bitmap header's image size, a PNG entry's directory size
    unsigned char head[40];  // the first bytes of the image data (zeros past the end of the file)
    // Where a bitmap's blocks lie, as its headers tell.
    uint64_t palette_at, pixels_at, mask_at;
    uint32_t palette_count;  // entries stored, at most 2^bpp
    uint8_t palette_entry;  // bytes of a stored entry: 4 (blue, green, red, unused) or 3
    uint32_t row_bytes;  // a stored row of the colour and mask bitmaps; 0: each padded to 4 bytes
    bool top_down;  // rows stored top row first
    uint32_t compression;  // 0, or 3 for a 16-bit image's bit fields
    uint32_t masks[3];  // red, green and blue of a 16-bit image
    const char* fault;  // why the headers rule the image out, or null
};

// Reads entry number (from 1) of the ICO directory bytes dir and the head
// of its image data.
void read_entry(icon_file* file, const unsigned char* dir, unsigned number, icon_entry* entry);

// The kinds of file read, told by their first bytes.
enum class icon_kind : uint8_t { kNone, kIco, kOs2, kWin1, kAni, kProgram };
enum : size_t { kKindBytes = 16 };
// The kind of a file that begins with head (kKindBytes bytes, zeros past
// the end of the file), and for none of them what it is when it is a known
// kind of file ("a BMP image"), or null.
icon_kind kind_of(const unsigned char* head, const char** what);

// Reads every image of the file into a new array (*entries, icon_alloc'd,
// *count of them). Returns kNotAnIcon for a file of no kind read here, and
// for a container (containers.h reads those).
int read_entries(icon_file* file, icon_entry** entries, unsigned* count);

// The images of OS/2 icon and pointer files (a bitmap array, or one image)
// and of Windows 1.x and 2.x icon and cursor files, appended to *entries.
void read_os2_entries(icon_file* file, icon_entry** entries, unsigned* count);
void read_win1_entries(icon_file* file, icon_entry** entries, unsigned* count);
// Appends a cleared entry with the next number and returns it.
icon_entry* add_entry(icon_entry** entries, unsigned* count);

// Why the entry's header rules it out (an unsupported depth, a size out of
// range, an invalid PNG header), or null.
const char* entry_fault(const icon_entry* entry);

// One bitmap image while it is read and decoded: its size and depth, and
// the three blocks, laid out as an ICO bitmap's.
struct icon_image {
    int32_t width;
    int32_t height;  // twice the image height: colours and mask
    int16_t bit_count;
    uint32_t compression;
    uint32_t masks[3];  // red, green, blue of a 16-bit image
    uint32_t palette_count;  // entries the file gave; the rest are black
    unsigned char* palette;  // 2^bit_count x 4 bytes (B, G, R, unused), or null
    unsigned char* pixels;  // h rows, bottom row first, each padded to 4 bytes
    unsigned char* mask;  // h rows of 1 bit per pixel, 1 = transparent
};

// Reads the palette, pixel and mask blocks of a bitmap entry that
// entry_fault accepts, wherever its file keeps them, after taking the
// pixels that lie beyond the end of the file from the file's budget. Returns the image (free it with
// free_icon_image), or null with *fault set when the budget does not cover
// them.
icon_image* read_bitmap(icon_file* file, const icon_entry* entry, const char** fault);
void free_icon_image(icon_image* img);

// The allocator behind icon_alloc (calloc); tests replace it to provoke
// allocation failures.
extern void* (*icon_calloc)(size_t count, size_t size);

// Allocates count zero-filled bytes; on failure reports "malloc" on
// standard error and ends the program with status 1.
void* icon_alloc(size_t count);

// Processes the icon file at path. Returns 0 when every selected image was
// written (or listed without a fault), -1 when the file cannot be opened,
// is not an icon or cursor file or has no image that the selection matches
// (one line on standard error says why), or when any image was skipped or
// could not be written (its report line says why).
int load_icon(const char* path, const icon_options* options, icon_run* run);
// Reads the header and directory of file and converts or lists each
// selected entry. Returns 0, -1 when an image was skipped or not written,
// kNotAnIcon when the header is not an icon or cursor header, or
// kNoneSelected when the selection matches no image (nothing printed for
// either), kManySelected when -o - would get more than one image, or
// kRefused when a container holds nothing to read (*refusal says why).
enum { kNotAnIcon = -2, kNoneSelected = -3, kManySelected = -4, kRefused = -5 };
int load_icon_file(icon_file* file, const char** refusal = nullptr);
