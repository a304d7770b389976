// Basic types of the application kit layer.
#pragma once

#include <cstdint>

typedef int32_t int32;
typedef uint32_t uint32;
typedef uint8_t uint8;
typedef int32 status_t;

enum : status_t { B_OK = 0, B_ERROR = -1, B_BAD_VALUE = -2, B_ENTRY_NOT_FOUND = -3, B_BUSY = -4 };
