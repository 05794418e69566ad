#pragma once
#include <cstdio>

// Runs quillon-find with its arguments: one search over the FOLDERs with the engine, the rows on
// `out` in the default result order, the totals (and the progress line, and the count of folders
// and files that could not be read) on `err`. The engine reads through a counting wrapper of
// g_fileSystem for the run; g_fileSystem is restored before it returns. Installs a SIGINT handler
// for the run (system calls it interrupts are resumed): the first interrupt raises the stop flag,
// which stops the search while it runs and changes nothing once it has ended (every row is then
// written and the status is that of the search); a second one ends the process at once with
// status 130. Returns the exit status: 0 after a search, 1 when a FOLDER does not exist, is
// not a folder or cannot be listed (the others are searched), 2 for a usage error, 3 when `out`
// could not be written, 130 after a stop. Call on the main thread, one run at a time.
int RunFindCommand(int argc, char** argv, FILE* out, FILE* err);
