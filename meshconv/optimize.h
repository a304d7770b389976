// The mesh optimizer: removes unused vertices, merges vertices at the same
// position and removes faces with two corners at one position.
#pragma once

#include <cstdint>

#include "model.h"

// Prints "Optimizing Data... ", runs the three passes with their progress
// digits, then "Done!\n" and the summary line. Every face index must be
// below numVertices. When a pass cannot have its working memory it cleans
// the mesh in place instead, in quadratic time, with the same result.
void OptimizeModel(_Model* model);

// Pass 1: removes every vertex that no face uses, keeping the order of the
// others and renumbering the faces. Returns the number removed.
uint32_t _RemoveUnusedVertices(_Model* model);

// Pass 2: merges every vertex into the first vertex at the same position
// (x, y and z equal as floats: -0.0 equals 0.0, NaN equals nothing), which
// keeps its own texture coordinate. Returns the number merged away.
uint32_t _RemoveDuplicateVertices(_Model* model);

// Pass 3: removes every face two of whose corners lie at the same position.
// Returns the number removed.
uint32_t _RemoveNullFaces(_Model* model);

// Sets every face corner equal to oldIndex to newIndex.
void _ReplaceVertexIndex(_Model* model, uint32_t oldIndex, uint32_t newIndex);

// Equality of two vertex positions, as the duplicate and null-face passes
// use it.
bool _SamePosition(const _Vertex& p, const _Vertex& q);

// Progress digits: a pass counts a step for each element it handles and
// prints "\b" and a random hexadecimal digit at every (threshold + 2)-th.
// The digits and the backspace that ends them are printed only while
// showProgressDigits is set (the driver sets it when standard output is a
// terminal), so that a log file holds plain text.
extern bool showProgressDigits;
enum : uint32_t { kUnusedThreshold = 64, kDuplicateThreshold = 64, kNullFaceThreshold = 256 };
void _CountStep(uint32_t* counter, uint32_t threshold);
