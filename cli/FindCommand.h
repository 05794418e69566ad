#pragma once
#include <cstdio>

// Runs quillon-find with its arguments: one search over the FOLDERs with the engine, the rows on
// `out` in the default result order, the totals (and the progress line) on `err`. Installs a
// SIGINT handler for the run: the first interrupt raises the stop flag, a second one ends the
// process at once with status 130. Returns the exit status: 0 after a search, 1 when a FOLDER is
// not a folder (the others are searched), 2 for a usage error, 130 after a stop. Call on the
// main thread, one run at a time.
int RunFindCommand(int argc, char** argv, FILE* out, FILE* err);
