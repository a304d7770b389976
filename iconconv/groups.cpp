// Icon groups (types 14 and 12) list their members: u16 0, u16 type (1
// icon, 2 cursor), u16 count, then 14 bytes each (an icon's: u8 width, u8
// height, u8 colours, u8 0, u16 planes, u16 bits; a cursor's: u16 width,
// u16 height (twice the image's), u16 planes, u16 bits; then u32 bytes and
// u16 the member's ID, a resource of type 3 or 1). A cursor resource
// begins with its hotspot, two u16.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "container_parts.h"
#include "get_le.h"

namespace container_parts {

bool is_member_type(uint16_t type)
{
    return type == kRtIcon || type == kRtCursor || type == kRtGroupIcon || type == kRtGroupCursor;
}

// The label of a group in output names: its name in lower case, other
// characters than a-z, 0-9, _ and - as _, or its ID; then _LANG for a
// language beyond the first.
static void group_label(const resource& r, char* label, size_t size)
{
    size_t n = 0;
    for (const char* c = r.name; *c != '\0' && n + 1 < size; c++, n++) {
        char ch = *c >= 'A' && *c <= 'Z' ? static_cast<char>(*c - 'A' + 'a') : *c;
        bool plain = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
        label[n] = plain ? ch : '_';
    }
    label[n] = '\0';
    if (r.name[0] == '\0')
        snprintf(label, size, "%u", r.id);
    if (!r.first_language) {
        size_t used = strlen(label);
        snprintf(label + used, size - used, "_%u", r.language);
    }
}

// Builds the member of one group: an ICO (or CUR) file of the members the
// group names, in its order; a member the file does not hold keeps its
// directory entry, its image recorded as absent.
static void build_group(icon_file* file, members* list, const resources& all, const resource& group, bool* named)
{
    icon_member* m = list->add();
    group_label(group, m->label, sizeof m->label);
    const bool cursor = group.type == kRtGroupCursor;
    snprintf(m->group, sizeof m->group, "%s", group.name[0] != '\0' ? group.name : "");
    if (group.name[0] == '\0')
        snprintf(m->group, sizeof m->group, "%u", group.id);
    snprintf(m->shown, sizeof m->shown, "%s %s", cursor ? "cursor group" : "group", m->group);
    if (!group.first_language) {
        size_t used = strlen(m->shown);
        snprintf(m->shown + used, sizeof m->shown - used, " (language %u)", group.language);
    }
    unsigned char* dir = group.readable && group.size >= kGroupHeader && group.size <= (1u << 20)
                             ? read_block_at(file, group.offset, static_cast<size_t>(group.size))
                             : nullptr;
    if (dir == nullptr) {
        set_fault(m, "the group's data lies outside the file");
        return;
    }
    const unsigned stated = GetLE16(dir + 4);
    const unsigned count = static_cast<unsigned>(
        stated < (group.size - kGroupHeader) / kGroupEntry ? stated : (group.size - kGroupHeader) / kGroupEntry);
    if (GetLE16(dir) != 0 || GetLE16(dir + 2) != (cursor ? 2 : 1) || count == 0) {
        free(dir);
        set_fault(m, "not a valid group");
        return;
    }
    // The file's size: the directory, then each member's data.
    uint64_t size = kIcoHeader + uint64_t{kIcoEntry} * count;
    const resource** found = static_cast<const resource**>(icon_alloc(count * sizeof(resource*)));
    for (unsigned i = 0; i < count; i++) {
        const resource* r = all.find(cursor ? kRtCursor : kRtIcon, GetLE16(dir + kGroupHeader + kGroupEntry * i + 12));
        if (r != nullptr && r->readable && r->size > (cursor ? 4u : 0u)) {
            found[i] = r;
            size += r->size - (cursor ? 4 : 0);
        }
    }
    if (!list->take(size)) {
        free(found);
        free(dir);
        set_fault(m, "the group names more data than the file holds");
        return;
    }
    m->data = static_cast<unsigned char*>(icon_alloc(static_cast<size_t>(size)));
    m->size = static_cast<size_t>(size);
    unsigned char* out = m->data;
    out[2] = cursor ? 2 : 1;
    out[4] = static_cast<unsigned char>(count);
    out[5] = static_cast<unsigned char>(count >> 8);
    uint64_t at = kIcoHeader + uint64_t{kIcoEntry} * count;
    for (unsigned i = 0; i < count; i++) {
        const unsigned char* g = dir + kGroupHeader + kGroupEntry * i;
        unsigned char* e = out + kIcoHeader + kIcoEntry * i;
        const unsigned id = GetLE16(g + 12);
        const int64_t width = cursor ? GetLE16(g) : (g[0] == 0 ? 256 : g[0]);
        const int64_t height = cursor ? GetLE16(g + 2) / 2 : (g[1] == 0 ? 256 : g[1]);
        const int bpp = GetLE16(g + 6);
        uint32_t bytes = 0, offset = static_cast<uint32_t>(size);
        if (found[i] != nullptr) {
            const resource& r = *found[i];
            named[found[i] - all.items] = true;
            bytes = static_cast<uint32_t>(r.size - (cursor ? 4 : 0));
            offset = static_cast<uint32_t>(at);
            unsigned char hotspot[4] = {};
            if (!read_at(file, r.offset, cursor ? hotspot : out + at, cursor ? 4 : bytes) ||
                (cursor && !read_at(file, r.offset + 4, out + at, bytes)))
                bytes = 0;
            if (cursor)
                memcpy(e + 4, hotspot, 4);
            at += bytes;
        } else {
            if (m->absent == nullptr)
                m->absent = static_cast<absent_image*>(icon_alloc(count * sizeof(absent_image)));
            absent_image& a = m->absent[m->absent_count++];
            a.position = i;
            a.width = width;
            a.height = height;
            a.bpp = bpp;
            const resource* r = all.find(cursor ? kRtCursor : kRtIcon, id);
            snprintf(a.reason, sizeof a.reason,
                     r == nullptr ? "the file holds no %s %u the group names"
                                  : "the data of %s %u lies outside the file",
                     cursor ? "cursor" : "icon", id);
        }
        if (!cursor)
            memcpy(e, g, 8);
        else
            e[0] = static_cast<unsigned char>(width), e[1] = static_cast<unsigned char>(height);
        for (int b = 0; b < 4; b++) {
            e[8 + b] = static_cast<unsigned char>(bytes >> (8 * b));
            e[12 + b] = static_cast<unsigned char>(offset >> (8 * b));
        }
    }
    free(found);
    free(dir);
}

// One icon (or cursor) that no readable group names, as a file of its own.
static void build_single(icon_file* file, members* list, const resource& r)
{
    const bool cursor = r.type == kRtCursor;
    const uint64_t bytes = r.size - (cursor ? 4 : 0);
    icon_member* m = list->add();
    snprintf(m->label, sizeof m->label, "%s%u", cursor ? "cursor" : "icon", r.id);
    snprintf(m->shown, sizeof m->shown, "%s %u", cursor ? "cursor" : "icon", r.id);
    snprintf(m->group, sizeof m->group, "%s", m->label);
    if (!list->take(kIcoHeader + kIcoEntry + bytes)) {
        set_fault(m, "more icon data than the file holds");
        return;
    }
    m->size = static_cast<size_t>(kIcoHeader + kIcoEntry + bytes);
    m->data = static_cast<unsigned char*>(icon_alloc(m->size));
    unsigned char* e = m->data + kIcoHeader;
    m->data[2] = cursor ? 2 : 1;
    m->data[4] = 1;
    if (cursor)
        read_at(file, r.offset, e + 4, 4);
    read_at(file, r.offset + (cursor ? 4 : 0), m->data + kIcoHeader + kIcoEntry, static_cast<size_t>(bytes));
    for (int b = 0; b < 4; b++) {
        e[8 + b] = static_cast<unsigned char>(bytes >> (8 * b));
        e[12 + b] = static_cast<unsigned char>((kIcoHeader + kIcoEntry) >> (8 * b));
    }
}

// The members of a program's resources: each group (icon groups, then
// cursor groups, in file order), then every icon and cursor that no
// readable group names.
const char* build_members(icon_file* file, const resources& all, members* list)
{
    bool* named = static_cast<bool*>(icon_alloc(all.count + 1));
    for (uint16_t type : {kRtGroupIcon, kRtGroupCursor})
        for (unsigned i = 0; i < all.count && list->out->count < kMaxMembers; i++)
            if (all.items[i].type == type)
                build_group(file, list, all, all.items[i], named);
    for (unsigned i = 0; i < all.count && list->out->count < kMaxMembers; i++) {
        const resource& r = all.items[i];
        if ((r.type == kRtIcon || r.type == kRtCursor) && !named[i] && r.readable && r.name[0] == '\0' &&
            r.size > (r.type == kRtCursor ? 4u : 0u))
            build_single(file, list, r);
    }
    free(named);
    return list->out->count == 0 ? "the program holds no icons or cursors" : nullptr;
}

}  // namespace container_parts
