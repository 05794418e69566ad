#pragma once
// Duplicate detection: the grouping and the pairing phase of a run. Both run on the search worker.
class IEngineSink;
class IScanCompanion;

// The grouping phase. Sorts g_fileList by size (stable), keeps only records whose size another
// record shares, but not where all records of that size name one file (one identity: they can form
// no row), and whose quick digest succeeds (the first record of a size run is digested last and
// follows the others of its run; the records of one file share one reading of it), sorts them by quick digest (stable, byte-wise order) and
// makes them the new g_fileList. Counts examined records in g_progressCount and, when a
// successful quick digest leaves it at a multiple of 100, sets g_currentPath and sends
// WMU_COMPAREPROGRESS. Returns at the first stop request it sees, before the next same-size
// record, leaving g_fileList for the caller to discard. `companion` is what the run's digest
// threads did during the scan, or nullptr.
void GroupCandidates(IEngineSink* sink, IScanCompanion* companion);

// The pairing phase. Empties g_duplicates and g_folderTally, then walks the runs of equal quick
// digest. Within a run, the records are split by full digest into sets of equal content; each set's
// first readable record (in the run's order) is its original, and every later record of the set
// becomes a row beside it, adds the original's size to g_duplicateBytes and adds one appearance of
// each row's two folders to g_folderTally. A record that cannot be digested is left out. Where a
// run holds one set and its first record can be read, that is exactly "every later record equal to
// the run's first record". Two records of the same file (equal identity) never form a row, and a
// path that is already the duplicate of a row of the run (a folder walked twice) forms no second
// one; a run whose records all name one file is not read at all, and the records of one file share
// one reading of it. Does not poll the stop flag; full digests larger than one step fail once a stop was
// requested, so the rows made stand.
void PairDuplicates();
