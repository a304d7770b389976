// The C7E0 model file writer.
#pragma once

#include <cstdint>
#include <cstdio>

#include "model.h"
#include "model_format.h"

// Writes the 6-byte file header: the magic and meshCount. Returns 0, or -1
// when the bytes could not be handed to the stream.
int WriteFileHeader(FILE* output, uint32_t meshCount);

// Overwrites meshCount of a file opened for update. Returns 0, or -1 when
// the seek or the write failed.
int PatchMeshCount(FILE* output, uint32_t meshCount);

// Appends one mesh record, prints its progress line and flushes the stream.
// Returns 0; -1 for a null model (nothing written) or when the record could
// not be written whole.
int WriteModelB(_Model* model, FILE* output);
