// Prints a C7E0 model file as text.
#pragma once

#include <cstdio>

// Dumps the model file open in input to output; name is the file's name as
// given by the user, for the messages, which go to errors (after output is
// flushed, so that they follow the lines printed before them). Returns the
// exit status: 0 when the file was dumped whole, 2 when it is not a C7E0
// file or ends before the records its counts announce.
int DumpModel(FILE* input, const char* name, FILE* output, FILE* errors);
