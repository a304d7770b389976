// Files that keep icon and cursor files inside them: animated cursors
// (RIFF ACON), Windows programs and libraries (PE32 and PE32+) and 16-bit
// programs and icon libraries (NE). Each is read into members, whole ICO
// or CUR files built in memory, which the icon reader then reads as it
// reads a file of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "icon.h"

// A member's directory entry whose image the container does not hold: its
// position in the member's directory, the size and depth its group gives,
// and why it is missing.
struct absent_image {
    unsigned position;
    int64_t width, height;
    int bpp;
    char reason[80];
};

// One icon or cursor file of a container.
struct icon_member {
    char label[64];  // after the stem in output names: "f01", "main", "101_1031"
    char shown[96];  // in report lines: "frame 1", "group MAIN", "icon 7"
    char group[64];  // the group's name as stored, or its ID; "" for a frame
    unsigned frame;  // an animation's frame, from 1; 0 for a group
    unsigned char* data;  // a whole ICO or CUR file (icon_alloc'd), or null
    size_t size;
    char fault[96];  // why there is no data; "" when there is
    absent_image* absent;  // icon_alloc'd, or null
    unsigned absent_count;
};

struct icon_container {
    icon_member* members;
    unsigned count;
    // For an animated cursor, the listing's line of its frames, steps and
    // rates (without the file's name); else "". icon_alloc'd.
    char* summary;
};

// Reads the members of a file of a container kind (kAni, kProgram).
// Returns null, or why the file has no member to read ("packed with UPX;
// unpack it with upx -d first").
const char* read_container(icon_file* file, icon_kind kind, icon_container* container);
void free_container(icon_container* container);

// Whether the member belongs to the --group and --frame choice of options.
bool member_chosen(const icon_member* member, const icon_options* options);
