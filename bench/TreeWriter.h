#pragma once
// Writes a planned tree to disk and its manifest beside it. Single-threaded; plain POSIX.
#include <string>

#include "bench/TreePlan.h"

class CTreeWriter {
public:
    // Creates `root` (which must not exist yet, its parent must) with every folder and file of
    // the plan, contents and modification times included. On failure returns false with a
    // message in `error`; what was written so far stays.
    static bool WriteTree(const CTreePlan& plan, const std::string& root, std::string& error);

    // Writes the summary as "key=value" lines, preceded by the given header lines (already in
    // that form), to `path`, replacing it atomically. Returns false with a message on failure.
    static bool WriteManifest(const CTreePlan::SSummary& summary, const std::string& header, const std::string& path,
                              std::string& error);

    // The summary as "key=value" lines.
    static std::string FormatSummary(const CTreePlan::SSummary& summary);
};
