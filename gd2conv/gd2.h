// gd2topng: reads libgd's GD2 image files and writes them as PNG through
// libgd, which Debian builds without GD2 support.
#pragma once

#include <gd.h>

#include <cstddef>

// The first four bytes of every GD2 file.
inline const unsigned char kGd2Signature[4] = {'g', 'd', '2', '\0'};

// Images of more pixels are refused: a bound that keeps a true-colour
// image within 512 MB, far above any image the format's users make. The
// image is the only copy of its pixels that the reader makes.
enum : long { kMaxGd2Pixels = 1L << 27 };

// Decodes the GD2 file held in data (size bytes) into a new gd image, which
// the caller destroys. Returns null with *fault saying why when the file is
// not a GD2 file or is damaged; nothing is allocated for the image before
// the header, the chunk index and the sizes have been checked against the
// bytes the file holds.
gdImagePtr read_gd2(const unsigned char* data, size_t size, const char** fault);
