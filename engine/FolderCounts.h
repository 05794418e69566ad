#pragma once
// Appearances of folders in the rows being made, for g_folderTally: the folder of each path of a
// row counts once (a folder that holds both files of a row counts twice), folders compared code
// unit by code unit. Counted per folder listing (the records the scan made carry its number) or
// else per folder text in a hashed table, and added to g_folderTally at the end in one ascending
// pass. The folders are views into the records' paths, which must outlive the counts. Search
// worker only.
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/FileRecord.h"

class CFolderCounts {
public:
    // For rows made of `records`: counted in an array over the folder numbers the records carry
    // when they are dense (CFolderNumbers).
    explicit CFolderCounts(const FileList& records);
    // One appearance of the folder of the record's path.
    void Add(const CFileRecord& record);
    // Adds the appearances counted to g_folderTally.
    void AddToTally() const;

private:
    struct Count {
        std::u16string_view folder;
        uint32_t appearances = 0;
    };
    uint32_t m_base = 0;
    std::vector<Count> m_byListing;  // by folder number - m_base
    std::unordered_map<std::u16string_view, uint32_t> m_byText;
};
