// Animated cursors, little-endian RIFF: "RIFF", u32 size, "ACON", then
// chunks (4-byte id, u32 size, data padded to an even size): "anih" (u32
// header size, frames, steps, width, height, bits, planes, default rate in
// jiffies of 1/60 s, flags), "rate" and "seq " (a u32 per step), and a
// "LIST" of type "fram" whose "icon" chunks are whole ICO or CUR files.
//
// PE (PE32 and PE32+): "MZ", u32 at 0x3C the offset of "PE\0\0", the COFF
// header (u16 machine, u16 sections, 12 bytes, u16 optional header size,
// u16 flags), the optional header (u16 magic 0x10B or 0x20B; the data
// directories, the third the resources' RVA and size), then the section
// table (40 bytes each: name, u32 virtual size, u32 RVA, u32 raw size, u32
// raw offset, ...). The resource directory has three levels (type, name
// or ID, language): u16 named and ID entry counts at 12 and 14, then
// 8-byte entries (u32 name or ID, the high bit marking a name's offset;
// u32 offset, the high bit marking a subdirectory), ending in 16-byte data
// entries (u32 RVA, u32 size).
//
// NE: "MZ", the offset of "NE" at 0x3C; at NE + 0x24 the resource table's
// offset and at NE + 0x26 the next table's, both from NE: u16 alignment
// shift, then per type u16 type (0 ends; 0x8000 marks an ID), u16 count,
// 4 bytes, and count 12-byte entries (u16 offset and u16 length in units
// of 2^shift, u16 flags, u16 ID (0x8000 marks an ID, else a name's offset
// in the table: a length byte and the characters), 4 bytes).
//
// Icon groups (types 14 and 12) list their members: u16 0, u16 type (1
// icon, 2 cursor), u16 count, then 14 bytes each (an icon's: u8 width, u8
// height, u8 colours, u8 0, u16 planes, u16 bits; a cursor's: u16 width,
// u16 height (twice the image's), u16 planes, u16 bits; then u32 bytes and
// u16 the member's ID, a resource of type 3 or 1). A cursor resource
// begins with its hotspot, two u16.
#include "containers.h"

#include <cstdio>
#include <initializer_list>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "get_le.h"

namespace {

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
bool read_at(icon_file* file, uint64_t offset, void* buffer, size_t size)
{
    if (offset > file->size || size > file->size - offset)
        return false;
    return fseeko(file->stream, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           fread(buffer, 1, size, file->stream) == size;
}

// Bytes read from the file at offset into a new block (icon_alloc'd), or
// null when they are not all there.
unsigned char* read_block_at(icon_file* file, uint64_t offset, size_t size)
{
    if (offset > file->size || size > file->size - offset)
        return nullptr;
    auto* block = static_cast<unsigned char*>(icon_alloc(size));
    if (!read_at(file, offset, block, size)) {
        free(block);
        return nullptr;
    }
    return block;
}

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

void set_fault(icon_member* m, const char* reason) { snprintf(m->fault, sizeof m->fault, "%s", reason); }

// ---- Animated cursors ----------------------------------------------------

// Appends up to limit numbers, " ..." after them when there are more.
void append_numbers(char** text, size_t* used, size_t* capacity, const char* title, const uint32_t* values,
                    unsigned count)
{
    enum { kShown = 64 };
    size_t need = *used + strlen(title) + 12 * (count < unsigned{kShown} ? count : unsigned{kShown}) + 8;
    if (need > *capacity) {
        auto* grown = static_cast<char*>(icon_alloc(need));
        memcpy(grown, *text, *used + 1);
        free(*text);
        *text = grown;
        *capacity = need;
    }
    *used += static_cast<size_t>(snprintf(*text + *used, *capacity - *used, "%s", title));
    for (unsigned i = 0; i < count && i < kShown; i++)
        *used += static_cast<size_t>(snprintf(*text + *used, *capacity - *used, " %u", values[i]));
    if (count > kShown)
        *used += static_cast<size_t>(snprintf(*text + *used, *capacity - *used, " ..."));
}

// A u32 a step from a "rate" or "seq " chunk's data: at most the steps the
// header names and the chunk holds, read into a new array.
uint32_t* read_steps(icon_file* file, uint64_t at, uint64_t bytes, uint32_t steps, unsigned* count)
{
    uint64_t n = bytes / 4 < uint64_t{steps} ? bytes / 4 : uint64_t{steps};
    *count = static_cast<unsigned>(n);
    if (n == 0)
        return nullptr;
    unsigned char* raw = read_block_at(file, at, static_cast<size_t>(n * 4));
    if (raw == nullptr) {
        *count = 0;
        return nullptr;
    }
    auto* values = static_cast<uint32_t*>(icon_alloc(static_cast<size_t>(n) * sizeof(uint32_t)));
    for (uint64_t i = 0; i < n; i++)
        values[i] = GetLE32(raw + 4 * i);
    free(raw);
    return values;
}

const char* read_animation(icon_file* file, members* list)
{
    uint32_t frames = 0, steps = 0, rate = 0;
    bool header = false;
    uint32_t *rates = nullptr, *sequence = nullptr;
    unsigned rate_count = 0, sequence_count = 0, found = 0;
    // The RIFF size is not trusted (real files give 0, or count the 8-byte
    // header too): the chunks go on to the end of the file.
    for (uint64_t at = 12; at + 8 <= file->size;) {
        unsigned char chunk[12] = {};
        read_at(file, at, chunk, at + 12 <= file->size ? 12 : 8);
        const uint64_t length = GetLE32(chunk + 4), data = at + 8;
        const uint64_t held = file->size - data < length ? file->size - data : length;
        if (memcmp(chunk, "anih", 4) == 0 && held >= 36 && !header) {
            unsigned char h[36];
            read_at(file, data, h, sizeof h);
            frames = GetLE32(h + 4);
            steps = GetLE32(h + 8);
            rate = GetLE32(h + 28);
            header = true;
        } else if (memcmp(chunk, "rate", 4) == 0 && rates == nullptr && header) {
            rates = read_steps(file, data, held, steps, &rate_count);
        } else if (memcmp(chunk, "seq ", 4) == 0 && sequence == nullptr && header) {
            sequence = read_steps(file, data, held, steps, &sequence_count);
        } else if (memcmp(chunk, "LIST", 4) == 0 && held >= 4 && memcmp(chunk + 8, "fram", 4) == 0) {
            // Frames begin within the list; the last may end beyond the
            // list's size (real files give one too small), and the walk goes
            // on after it.
            uint64_t in = data + 4;
            while (in + 8 <= data + held) {
                unsigned char sub[8];
                read_at(file, in, sub, sizeof sub);
                const uint64_t size = GetLE32(sub + 4), begins = in + 8;
                if (memcmp(sub, "icon", 4) == 0) {
                    if (list->out->count == kMaxMembers)
                        break;
                    icon_member* m = list->add();
                    m->frame = ++found;
                    snprintf(m->label, sizeof m->label, "f%02u", m->frame);
                    snprintf(m->shown, sizeof m->shown, "frame %u", m->frame);
                    unsigned char magic[4] = {};
                    read_at(file, begins, magic, size < 4 ? 0 : 4);
                    if (size > file->size - begins) {
                        set_fault(m, "the frame runs past the end of the file");
                    } else if (GetLE16(magic) != 0 || (GetLE16(magic + 2) != 1 && GetLE16(magic + 2) != 2)) {
                        set_fault(m, "the frame is not an icon or cursor");
                    } else if (!list->take(size) ||
                               (m->data = read_block_at(file, begins, static_cast<size_t>(size))) == nullptr) {
                        set_fault(m, "the frame cannot be read");
                    } else {
                        m->size = static_cast<size_t>(size);
                    }
                }
                in = begins + size + (size & 1);
            }
            if (in > data + length + (length & 1)) {
                at = in;
                continue;
            }
        }
        at = data + length + (length & 1);
    }
    if (!header && found == 0) {
        free(rates);
        free(sequence);
        return "an animated cursor without a header or frames";
    }
    // The frames the header names that the file does not hold: one line
    // for them all, however many the header claims.
    if (frames > found && list->out->count < kMaxMembers) {
        icon_member* m = list->add();
        snprintf(m->label, sizeof m->label, "f%02u", found + 1);
        snprintf(m->shown, sizeof m->shown, found + 1 == frames ? "frame %u" : "frames %u to %u", found + 1, frames);
        snprintf(m->fault, sizeof m->fault, "the animation names %u frames and holds %u", frames, found);
    }
    size_t used = 0, capacity = 160;
    char* text = static_cast<char*>(icon_alloc(capacity));
    used = static_cast<size_t>(
        snprintf(text, capacity, "animation: %u frames, %u steps, %u/60 s a step", frames, steps, rate));
    if (rates != nullptr)
        append_numbers(&text, &used, &capacity, ", rates (1/60 s):", rates, rate_count);
    if (sequence != nullptr)
        append_numbers(&text, &used, &capacity, ", sequence:", sequence, sequence_count);
    list->out->summary = text;
    free(rates);
    free(sequence);
    return nullptr;
}

// ---- Resources of programs -------------------------------------------------

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

bool is_member_type(uint16_t type)
{
    return type == kRtIcon || type == kRtCursor || type == kRtGroupIcon || type == kRtGroupCursor;
}

// The label of a group in output names: its name in lower case, other
// characters than a-z, 0-9, _ and - as _, or its ID; then _LANG for a
// language beyond the first.
void group_label(const resource& r, char* label, size_t size)
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
void build_group(icon_file* file, members* list, const resources& all, const resource& group, bool* named)
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
        const int bpp = GetLE16(g + (cursor ? 6 : 6));
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
void build_single(icon_file* file, members* list, const resource& r)
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

// A section of a PE file: where its data lies in memory and in the file.
struct section {
    char name[9];
    uint32_t rva, virtual_size, raw_size, raw_offset;
};

// The PE resource directory, read from its section's data in memory.
struct pe_resources {
    const unsigned char* data;  // the section's raw data
    uint64_t size;
    uint64_t root;  // the directory's offset in it
    section where;
};

// The name of a named entry: UTF-16 characters, those outside ASCII as _.
void entry_name(const pe_resources& pe, uint64_t at, char* name, size_t size)
{
    name[0] = '\0';
    if (at + 2 > pe.size)
        return;
    unsigned length = GetLE16(pe.data + at);
    size_t n = 0;
    for (unsigned i = 0; i < length && n + 1 < size && at + 4 + 2 * i <= pe.size; i++) {
        unsigned ch = GetLE16(pe.data + at + 2 + 2 * i);
        name[n++] = ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '_';
    }
    name[n] = '\0';
}

// The entries of the directory at offset, or 0 when it does not lie whole
// in the section.
unsigned directory_entries(const pe_resources& pe, uint64_t at)
{
    if (at > pe.size || pe.size - at < 16)
        return 0;
    uint64_t n = uint64_t{GetLE16(pe.data + at + 12)} + GetLE16(pe.data + at + 14);
    return n > (pe.size - at - 16) / 8 ? static_cast<unsigned>((pe.size - at - 16) / 8) : static_cast<unsigned>(n);
}

// Walks the three levels: type, name or ID, language. Only the icon and
// cursor types are followed; a level that is not a directory where one is
// due, or a data entry that is not one, is passed over, so that no loop and
// no deeper level is ever walked.
void walk_pe(const pe_resources& pe, resources* all)
{
    const uint64_t root = pe.root;
    unsigned types = directory_entries(pe, root);
    for (unsigned t = 0; t < types; t++) {
        const unsigned char* te = pe.data + root + 16 + 8 * t;
        uint32_t type = GetLE32(te), to = GetLE32(te + 4);
        if ((type & 0x80000000u) != 0 || !is_member_type(static_cast<uint16_t>(type)) || type > 0xFFFF ||
            (to & 0x80000000u) == 0)
            continue;
        uint64_t names_at = root + (to & 0x7FFFFFFFu);
        unsigned names = directory_entries(pe, names_at);
        for (unsigned n = 0; n < names && all->count < 65536; n++) {
            const unsigned char* ne = pe.data + names_at + 16 + 8 * n;
            uint32_t name = GetLE32(ne), nto = GetLE32(ne + 4);
            if ((nto & 0x80000000u) == 0)
                continue;
            uint64_t langs_at = root + (nto & 0x7FFFFFFFu);
            unsigned languages = directory_entries(pe, langs_at);
            for (unsigned l = 0; l < languages && all->count < 65536; l++) {
                const unsigned char* le = pe.data + langs_at + 16 + 8 * l;
                uint32_t data_at = GetLE32(le + 4);
                if ((data_at & 0x80000000u) != 0 || root + data_at > pe.size || pe.size - root - data_at < 16)
                    continue;
                resource* r = all->add();
                r->type = static_cast<uint16_t>(type);
                r->language = GetLE32(le);
                r->first_language = l == 0;
                if ((name & 0x80000000u) != 0)
                    entry_name(pe, root + (name & 0x7FFFFFFFu), r->name, sizeof r->name);
                else
                    r->id = name;
                const unsigned char* d = pe.data + root + data_at;
                uint64_t rva = GetLE32(d);
                r->size = GetLE32(d + 4);
                // Within the section's data, and so within the file.
                r->readable =
                    rva >= pe.where.rva && rva - pe.where.rva <= pe.size && r->size <= pe.size - (rva - pe.where.rva);
                r->offset = pe.where.raw_offset + (rva - pe.where.rva);
            }
        }
    }
}

const char* read_pe(icon_file* file, uint64_t pe_at, members* list)
{
    unsigned char coff[24];
    if (!read_at(file, pe_at, coff, sizeof coff))
        return "a Windows program cut short in its headers";
    const unsigned sections = GetLE16(coff + 6), optional_size = GetLE16(coff + 20);
    unsigned char optional[240] = {};
    read_at(file, pe_at + 24, optional, optional_size < sizeof optional ? optional_size : sizeof optional);
    const unsigned magic = GetLE16(optional);
    if (magic != 0x10B && magic != 0x20B)
        return "a Windows program of an unknown kind (neither PE32 nor PE32+)";
    const size_t directories = magic == 0x10B ? 96 : 112, count_at = magic == 0x10B ? 92 : 108;
    const bool has_resources = GetLE32(optional + count_at) > 2 && optional_size >= directories + 24;
    const uint32_t resources_rva = has_resources ? GetLE32(optional + directories + 16) : 0;
    // The section table.
    bool upx = false, found = false;
    section rsrc = {};
    const uint64_t table = pe_at + 24 + optional_size;
    for (unsigned i = 0; i < sections && i < 96; i++) {
        unsigned char s[40];
        if (!read_at(file, table + 40 * uint64_t{i}, s, sizeof s))
            break;
        section here = {};
        memcpy(here.name, s, 8);
        here.virtual_size = GetLE32(s + 8);
        here.rva = GetLE32(s + 12);
        here.raw_size = GetLE32(s + 16);
        here.raw_offset = GetLE32(s + 20);
        upx = upx || strncmp(here.name, "UPX", 3) == 0;
        uint64_t extent = here.virtual_size > here.raw_size ? here.virtual_size : here.raw_size;
        if (resources_rva != 0 && !found && resources_rva >= here.rva && resources_rva - here.rva < extent) {
            rsrc = here;
            found = true;
        }
    }
    if (upx)
        return "packed with UPX; unpack it with upx -d first";
    if (!found)
        return "a Windows program with no resource section, so no icons";
    // The section's data as the file holds it.
    uint64_t size = rsrc.raw_size;
    if (rsrc.raw_offset > file->size)
        return "the resource section lies outside the file";
    if (size > file->size - rsrc.raw_offset)
        size = file->size - rsrc.raw_offset;
    unsigned char* data = read_block_at(file, rsrc.raw_offset, static_cast<size_t>(size));
    if (data == nullptr)
        return "the resource section cannot be read";
    pe_resources pe = {data, size, resources_rva - rsrc.rva, rsrc};
    resources all;
    walk_pe(pe, &all);
    free(data);
    const char* fault = build_members(file, all, list);
    free(all.items);
    return fault;
}

const char* read_ne(icon_file* file, uint64_t ne_at, members* list)
{
    unsigned char header[0x28];
    if (!read_at(file, ne_at, header, sizeof header))
        return "a 16-bit Windows program cut short in its headers";
    const uint64_t table = ne_at + GetLE16(header + 0x24), end = ne_at + GetLE16(header + 0x26);
    if (GetLE16(header + 0x24) == GetLE16(header + 0x26))
        return "a 16-bit Windows program with no resources, so no icons";
    if (end <= table || end > file->size)
        return "the resource table lies outside the file";
    unsigned char* t = read_block_at(file, table, static_cast<size_t>(end - table));
    const uint64_t size = end - table;
    if (t == nullptr || size < 2) {
        free(t);
        return "the resource table cannot be read";
    }
    const unsigned shift = GetLE16(t);
    resources all;
    if (shift > 16) {
        free(t);
        return "the resource table's alignment is out of range";
    }
    for (uint64_t at = 2; at + 8 <= size;) {
        const unsigned type = GetLE16(t + at), count = GetLE16(t + at + 2);
        if (type == 0)
            break;
        at += 8;
        for (unsigned i = 0; i < count && at + 12 <= size; i++, at += 12) {
            if ((type & 0x8000) == 0 || !is_member_type(static_cast<uint16_t>(type & 0x7FFF)))
                continue;
            const unsigned char* e = t + at;
            resource* r = all.add();
            r->type = static_cast<uint16_t>(type & 0x7FFF);
            r->first_language = true;
            r->offset = uint64_t{GetLE16(e)} << shift;
            r->size = uint64_t{GetLE16(e + 2)} << shift;
            r->readable = r->offset <= file->size && r->size <= file->size - r->offset;
            const unsigned id = GetLE16(e + 6);
            if ((id & 0x8000) != 0) {
                r->id = id & 0x7FFF;
            } else if (id < size) {
                const unsigned length = t[id];
                size_t n = 0;
                for (unsigned c = 0; c < length && id + 1 + c < size && n + 1 < sizeof r->name; c++) {
                    unsigned char ch = t[id + 1 + c];
                    r->name[n++] = ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '_';
                }
                r->name[n] = '\0';
            }
        }
    }
    free(t);
    const char* fault = build_members(file, all, list);
    free(all.items);
    return fault;
}

}  // namespace

const char* read_container(icon_file* file, icon_kind kind, icon_container* container)
{
    *container = icon_container{};
    members list = {container, 0, 0, 2 * file->size + kMemberAllowance};
    if (kind == icon_kind::kAni)
        return read_animation(file, &list);
    unsigned char head[0x40] = {};
    read_at(file, 0, head, file->size < sizeof head ? static_cast<size_t>(file->size) : sizeof head);
    const uint64_t at = GetLE32(head + 0x3C);
    unsigned char magic[4] = {};
    if (file->size >= sizeof head && read_at(file, at, magic, 4)) {
        if (memcmp(magic, "PE\0\0", 4) == 0)
            return read_pe(file, at, &list);
        if (memcmp(magic, "NE", 2) == 0)
            return read_ne(file, at, &list);
    }
    return "an MS-DOS program, which holds no icons";
}

void free_container(icon_container* container)
{
    for (unsigned i = 0; i < container->count; i++) {
        free(container->members[i].data);
        free(container->members[i].absent);
    }
    free(container->members);
    free(container->summary);
    *container = icon_container{};
}

bool member_chosen(const icon_member* member, const icon_options* options)
{
    if (options->frame != 0 && member->frame != options->frame)
        return false;
    if (options->group == nullptr)
        return true;
    return strcasecmp(member->group, options->group) == 0 || strcasecmp(member->label, options->group) == 0;
}
