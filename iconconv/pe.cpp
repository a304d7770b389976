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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "container_parts.h"
#include "get_le.h"

namespace container_parts {

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
static void entry_name(const pe_resources& pe, uint64_t at, char* name, size_t size)
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
static unsigned directory_entries(const pe_resources& pe, uint64_t at)
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
static void walk_pe(const pe_resources& pe, resources* all)
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

}  // namespace container_parts
