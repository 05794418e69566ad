#pragma once
// Which digests may answer for a file later: git's rule for "racy" index entries. A file's state
// (size, times, identity) stands for its content only if any later change would give it another
// state. A write changes the change time, but to what the file system's clock says, in the file
// system's steps: a write in the same tick as the one before (or in the same second, on a file
// system with 1-second times) may leave every field as it was. So a digest stands for a file later
// only when the file's last change was safely before the moment its digest was taken: then any
// later write carries a later time. A digest of a file changed too recently answers for the search
// that took it, and the file is read again by the next one. Pure code, any thread.
#include <cstdint>

#include "platform/FileState.h"

// The wall clock now, in nanoseconds since 1970.
uint64_t WallClockNow();

// The steps of a file system's times guessed from a change time (nanoseconds since 1970): 2 s
// when it is a whole second (1-second file systems, and FAT's 2 seconds), else the largest power
// of ten that divides its nanoseconds (10 ms on exFAT, 1 ns on most).
uint64_t TimeStepOf(uint64_t changeTime);

// Whether a digest of the file in `state`, whose reading began at `digestMoment` (nanoseconds
// since 1970, WallClockNow's clock), may answer for it later: its last-write and change times,
// plus the file system's step and the tick of the clock file times are taken from, are not later
// than that moment.
bool SafelyOlder(const FileState& state, uint64_t digestMoment);

// The moment the digests of the current search began to be taken: set when the search starts,
// before it lists a file. Search worker only.
extern uint64_t g_digestMoment;
