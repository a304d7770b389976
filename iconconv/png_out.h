// The icon converter's PNG output: names, the outputs of a file and a run,
// and the report lines' names.
#pragma once

#include <gd.h>

#include <cstdint>

#include "icon.h"

// The name an image of the size and depth gets before it is made unique
// within its file: STEM_WWXHH_Bbpp.png, in the output folder if one is set.
// The caller frees it.
char* output_name(const icon_file* file, int width, int height, int bpp);

// The name under which an earlier entry of the file wrote the same data
// (the same offset, and for PNG data the same size) under the same name, or
// null: such an image need not be made again.
const char* already_written(const icon_file* file, uint32_t offset, uint32_t png_size, const char* name);

// Records an output of the file without writing anything, for a listing:
// later entries then find it as already_written writes would.
void note_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name);

// What became of one output: the name it went under (made unique, or
// standard output's, "standard output"), and when it was not written the
// words that say why (failure) with the system's reason (error, 0 when
// there is none); a failure of kOutputWasInput means the name is the
// input file's. The caller frees name.
struct png_outcome {
    char* name;
    const char* failure;
    int error;
};
extern const char* const kOutputWasInput;

// Writes the gd image as PNG through libgd under name (made unique), or to
// standard output for -o -, whole or not at all.
png_outcome write_png(icon_file* file, uint32_t offset, const char* name, gdImagePtr im);

// Writes PNG data taken from an icon entry (at offset, of png_size bytes)
// unchanged, as write_png does.
png_outcome write_png_bytes(icon_file* file, uint32_t offset, uint32_t png_size, const char* name,
                            const unsigned char* data);
