// Names taken from files, printed safely: on a terminal a control byte in a
// name could set the window title, clear the screen or forge a line, so
// there every byte that is not printable text is shown as a backslash and
// three octal digits (ESC as \033), and a backslash as \\, as GNU ls -b
// does. Logs, pipes and files get the bytes as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace terminal_text {

// The length of the valid UTF-8 sequence at s (of at most left bytes) for a
// printable character (not a C0 or C1 control, not DEL), or 0.
inline size_t PrintableLength(const unsigned char* s, size_t left)
{
    unsigned char c = s[0];
    if (c >= 0x20 && c < 0x7F)
        return 1;
    size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || length > left)
        return 0;
    uint32_t code = c & (0x7F >> length);
    for (size_t i = 1; i < length; i++) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (s[i] & 0x3F);
    }
    // Overlong forms, surrogates, code points past U+10FFFF and the C1
    // controls are not text.
    static const uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || code <= 0x9F)
        return 0;
    return length;
}

}  // namespace terminal_text

// How a name is written: byte for byte; with control bytes (and the
// backslash) escaped, so that one line stays one line in a listing read by
// a program; or with every byte that is not printable text escaped, for a
// terminal.
enum class NameEscapes { kNone, kControls, kAll };

// Writes the zero-terminated name to out, escaped as asked.
inline void PutName(FILE* out, const char* name, NameEscapes escapes)
{
    if (escapes == NameEscapes::kNone) {
        fputs(name, out);
        return;
    }
    const unsigned char* s = reinterpret_cast<const unsigned char*>(name);
    size_t left = 0;
    while (s[left] != 0)
        left++;
    while (left > 0) {
        size_t n = escapes == NameEscapes::kAll ? terminal_text::PrintableLength(s, left)
                   : *s < 0x20 || *s == 0x7F    ? 0
                                                : 1;
        if (n > 0 && *s != '\\') {
            fwrite(s, 1, n, out);
        } else {
            n = 1;
            if (*s == '\\')
                fputs("\\\\", out);
            else
                fprintf(out, "\\%03o", *s);
        }
        s += n;
        left -= n;
    }
}

// Writes the zero-terminated name to out: escaped when escape is set (out
// is a terminal), else byte for byte.
inline void PutName(FILE* out, const char* name, bool escape)
{
    PutName(out, name, escape ? NameEscapes::kAll : NameEscapes::kNone);
}
