// Animated cursors, little-endian RIFF: "RIFF", u32 size, "ACON", then
// chunks (4-byte id, u32 size, data padded to an even size): "anih" (u32
// header size, frames, steps, width, height, bits, planes, default rate in
// jiffies of 1/60 s, flags), "rate" and "seq " (a u32 per step), and a
// "LIST" of type "fram" whose "icon" chunks are whole ICO or CUR files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "container_parts.h"
#include "get_le.h"

namespace container_parts {

// Appends up to limit numbers, " ..." after them when there are more.
static void append_numbers(char** text, size_t* used, size_t* capacity, const char* title, const uint32_t* values,
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
static uint32_t* read_steps(icon_file* file, uint64_t at, uint64_t bytes, uint32_t steps, unsigned* count)
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

}  // namespace container_parts
