// Message codes of the application kit.
#pragma once

#include "SupportDefs.h"

enum : uint32 {
    B_QUIT_REQUESTED = 0x5F515251,  // '_QRQ'
    B_SIMPLE_DATA = 0x44415441,  // 'DATA': a drop
    B_REFS_RECEIVED = 0x52524546,  // 'RREF': files opened with the application
    B_ARGV_RECEIVED = 0x41524756,  // 'ARGV': the command line's arguments
};
