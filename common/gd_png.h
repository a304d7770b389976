// Writing a gd image as PNG with a result: libgd's PNG writer returns
// nothing, so the stream goes through an output context that keeps the
// last bytes written and whether the stream took them all. A stream that
// does not end with the 12-byte IEND chunk was left unfinished by libgd.
#pragma once

#include <gd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace gd_png {

// The last 12 bytes of every complete PNG stream: the empty IEND chunk with
// its CRC.
inline const unsigned char kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

struct Sink {
    gdIOCtx ctx;
    FILE* out;
    int writeError;  // errno of the first write the stream refused, or 0
    bool writeFailed;
    size_t written;
    unsigned char tail[sizeof kEnd];
};

inline int PutBuf(gdIOCtxPtr ctx, const void* data, int size)
{
    Sink* sink = static_cast<Sink*>(ctx->data);
    if (size <= 0)
        return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    size_t n = static_cast<size_t>(size);
    if (fwrite(bytes, 1, n, sink->out) != n && !sink->writeFailed) {
        sink->writeFailed = true;
        sink->writeError = errno;
    }
    for (size_t i = n > sizeof sink->tail ? n - sizeof sink->tail : 0; i < n; i++) {
        memmove(sink->tail, sink->tail + 1, sizeof sink->tail - 1);
        sink->tail[sizeof sink->tail - 1] = bytes[i];
    }
    sink->written += n;
    return size;
}

inline void PutC(gdIOCtxPtr ctx, int c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    PutBuf(ctx, &byte, 1);
}

inline void Free(gdIOCtxPtr) { }

}  // namespace gd_png

// Writes im as PNG to out and flushes it. Returns null when the whole
// stream reached out, else the words that name the failure: "libgd could
// not encode" (no reason to give), or "error writing" with the system's
// reason in *error.
inline const char* WritePng(gdImagePtr im, FILE* out, int* error)
{
    gd_png::Sink sink = {};
    sink.ctx.putC = gd_png::PutC;
    sink.ctx.putBuf = gd_png::PutBuf;
    sink.ctx.gd_free = gd_png::Free;
    sink.ctx.data = &sink;
    sink.out = out;
    gdImagePngCtx(im, &sink.ctx);
    if (sink.written < sizeof gd_png::kEnd || memcmp(sink.tail, gd_png::kEnd, sizeof gd_png::kEnd) != 0)
        return "libgd could not encode";
    if (!sink.writeFailed && fflush(out) == 0)
        return nullptr;
    *error = sink.writeFailed ? sink.writeError : errno;
    return "error writing";
}
