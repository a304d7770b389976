// The icon converter's decoders: a bitmap image read from any kind of file
// to a gd image.
#pragma once

#include <gd.h>

#include <cstdint>

#include "icon.h"

// Image height: the colour bitmap and the mask are counted together.
inline int32_t image_height(const icon_image* img) { return img->height / 2; }
// Row lengths in bytes, padded to a multiple of 4.
inline uint64_t colour_row_length(const icon_image* img)
{
    return (static_cast<uint64_t>(img->width) * static_cast<uint64_t>(img->bit_count) + 31) / 32 * 4;
}
inline uint64_t mask_row_length(const icon_image* img) { return (static_cast<uint64_t>(img->width) + 31) / 32 * 4; }

// Decodes a bitmap image of 1, 2, 4, 8, 16, 24 or 32 bits to a gd image,
// which the caller destroys.
gdImagePtr decode_bitmap(const icon_image* img);
