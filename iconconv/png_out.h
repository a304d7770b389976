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

// Writes a name (a file's, an output's) into the report as the file's
// report stream needs it: escaped on a terminal, and in a listing with its
// control bytes escaped, so that one line is one image.
void put_report_name(const icon_file* file, const char* name);

// Records an output of the file without writing anything, for a listing:
// later entries then find it as already_written writes would.
void note_output(icon_file* file, uint32_t offset, uint32_t png_size, const char* name);

// Writes the gd image as PNG through libgd under name (made unique), or to
// standard output for -o -, and completes the report line. Returns 0, or
// -1 when the file could not be written.
int write_png(icon_file* file, uint32_t offset, const char* name, gdImagePtr im);

// Writes PNG data taken from an icon entry (at offset, of png_size bytes)
// unchanged, as write_png does.
int write_png_bytes(icon_file* file, uint32_t offset, uint32_t png_size, const char* name, const unsigned char* data);
