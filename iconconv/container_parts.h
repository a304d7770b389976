// The parts of reading containers (containers.h) that the kinds share:
// reading within the file, the growing list of members, and the resources
// of programs with the rebuilding of their icon groups. Only the
// container readers include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "containers.h"

namespace container_parts {

enum : uint16_t { kRtCursor = 1, kRtIcon = 3, kRtGroupCursor = 12, kRtGroupIcon = 14 };
enum : size_t { kGroupHeader = 6, kGroupEntry = 14, kIcoHeader = 6, kIcoEntry = 16 };
// The most members one container gives, and the most bytes its members
// may hold together: twice the file's size and 16 MiB more (groups may
// share icons, a group may name one icon many times); nothing is built
// beyond this.
enum : unsigned { kMaxMembers = 4096 };
enum : uint64_t { kMemberAllowance = uint64_t{16} << 20 };

// Reads size bytes at offset into buffer; false when they are not all in
// the file.
bool read_at(icon_file* file, uint64_t offset, void* buffer, size_t size);
// Bytes read from the file at offset into a new block (icon_alloc'd), or
// null when they are not all there.
unsigned char* read_block_at(icon_file* file, uint64_t offset, size_t size);
void set_fault(icon_member* m, const char* reason);

// The members read so far, with the bytes they hold, growing as needed.
struct members {
    icon_container* out;
    unsigned capacity;
    uint64_t bytes, allowance;

    icon_member* add()
    {
        if (out->count == capacity) {
            capacity = capacity == 0 ? 16 : capacity * 2;
            auto* grown = static_cast<icon_member*>(icon_alloc(capacity * sizeof(icon_member)));
            if (out->count > 0)
                memcpy(grown, out->members, out->count * sizeof(icon_member));
            free(out->members);
            out->members = grown;
        }
        icon_member* m = &out->members[out->count++];
        *m = icon_member{};
        return m;
    }
    // Whether size more bytes fit the allowance; takes them when they do.
    bool take(uint64_t size)
    {
        if (size > allowance - bytes)
            return false;
        bytes += size;
        return true;
    }
};

// A resource: its type, its name (as stored, or its ID in decimal) and ID
// (0 for a name), its language, and where its data lies in the file.
struct resource {
    uint16_t type;
    char name[64];
    uint32_t id;
    uint32_t language;
    bool first_language;  // the first of its name and type
    uint64_t offset, size;
    bool readable;  // its data lies within the file (and its section)
};

struct resources {
    resource* items = nullptr;
    unsigned count = 0, capacity = 0;

    resource* add()
    {
        if (count == capacity) {
            capacity = capacity == 0 ? 32 : capacity * 2;
            auto* grown = static_cast<resource*>(icon_alloc(capacity * sizeof(resource)));
            if (count > 0)
                memcpy(grown, items, count * sizeof(resource));
            free(items);
            items = grown;
        }
        resource* r = &items[count++];
        *r = resource{};
        return r;
    }
    // The first readable resource of the type with that ID.
    const resource* find(uint16_t type, uint32_t id) const
    {
        for (unsigned i = 0; i < count; i++)
            if (items[i].type == type && items[i].id == id && items[i].name[0] == '\0')
                return &items[i];
        return nullptr;
    }
};

// Whether a resource type is one of the four that hold icons and cursors.
bool is_member_type(uint16_t type);
// The members of a program's resources: each group (icon groups, then
// cursor groups, in file order), then every icon and cursor that no
// readable group names. Returns null, or why there is none.
const char* build_members(icon_file* file, const resources& all, members* list);

// The readers of the kinds: null, or why the file holds nothing to read.
const char* read_animation(icon_file* file, members* list);
const char* read_pe(icon_file* file, uint64_t pe_at, members* list);
const char* read_ne(icon_file* file, uint64_t ne_at, members* list);

}  // namespace container_parts
