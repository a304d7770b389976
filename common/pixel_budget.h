// How many pixels without data behind them (beyond the end of the file, or
// covered by no chunk) a file may make: one image of 4096 x 4096, plus 16
// per byte of the file. Pixels whose data the file holds cost nothing; the
// bound stops small files that ask for huge images of nothing, which would
// cost memory and time out of all proportion to their size.
#pragma once

#include <cstdint>

enum : uint64_t { kUnbackedAllowance = uint64_t{4096} * 4096, kUnbackedPerByte = 16 };

inline uint64_t UnbackedPixelBudget(uint64_t fileSize) { return kUnbackedAllowance + kUnbackedPerByte * fileSize; }
