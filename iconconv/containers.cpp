// Files that keep icon files inside them, told apart by their first
// bytes; ani.cpp, pe.cpp and ne.cpp read each kind, groups.cpp rebuilds a
// program's icon groups.
#include "containers.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "container_parts.h"
#include "get_le.h"

namespace container_parts {

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

void set_fault(icon_member* m, const char* reason) { snprintf(m->fault, sizeof m->fault, "%s", reason); }

}  // namespace container_parts

using namespace container_parts;

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
