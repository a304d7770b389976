// Face and vertex normals.
#pragma once

#include "model.h"

// Gives every face its unit normal (A - B) x (C - B) / |...| from the
// positions of its corners, and every vertex the plain mean of the normals
// of the faces that use it, taken in ascending face order. A face whose
// length rounds to 0 or is not finite gets (0, 0, 0) and counts for no
// vertex; a vertex that no counted face uses gets (0, 0, 0). Arithmetic is
// in double precision, rounded to float only for the length and the stored
// components. Prints "Calculating Normals..." and "Done!\n".
// Without working memory for the sums, each vertex scans every face
// instead (quadratic time, the same sums in the same order). Every face
// index must be below numVertices.
void CalcNormals(_Model* model);
