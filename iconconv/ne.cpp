// NE: "MZ", the offset of "NE" at 0x3C; at NE + 0x24 the resource table's
// offset and at NE + 0x26 the next table's, both from NE: u16 alignment
// shift, then per type u16 type (0 ends; 0x8000 marks an ID), u16 count,
// 4 bytes, and count 12-byte entries (u16 offset and u16 length in units
// of 2^shift, u16 flags, u16 ID (0x8000 marks an ID, else a name's offset
// in the table: a length byte and the characters), 4 bytes).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "container_parts.h"
#include "get_le.h"

namespace container_parts {

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

}  // namespace container_parts
