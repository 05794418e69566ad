#pragma once
// What a generated benchmark tree holds: its folders, the distinct file contents and the files,
// plus the expected answer of a duplicate search over it. Plain data; built by CTreeGenerator,
// written by CTreeWriter.
#include <cstdint>
#include <string>
#include <vector>

class CTreePlan {
public:
    static constexpr uint64_t kNoFlip = UINT64_MAX;

    struct SFolder {
        uint32_t parent = 0;  // index of the parent folder; folder 0 is the tree's root
        uint32_t depth = 0;   // 0 for the root
        std::string name;     // empty for the root
    };

    // One distinct content. Its bytes are the random stream of `seed`, `size` bytes long, with the
    // byte at `flipAt` inverted when flipAt is not kNoFlip. Contents that share seed and size but
    // flip different bytes are equal up to the flipped bytes (same first KiB, different tails).
    struct SContent {
        uint64_t size = 0;
        uint64_t seed = 0;
        uint64_t flipAt = kNoFlip;
        std::vector<uint32_t> files;  // indices into files; two or more make a duplicate group
    };

    struct SFile {
        uint32_t folder = 0;
        uint32_t content = 0;
        int64_t mtime = 0;  // seconds since the epoch
        std::string name;
    };

    // The expected answer and the shape of the tree. Files of 0 bytes are counted apart and
    // never in the duplicate figures, since a search skips empty files.
    struct SSummary {
        uint64_t folders = 0;  // below the root
        uint64_t files = 0;
        uint64_t bytes = 0;
        uint64_t emptyFiles = 0;
        uint64_t duplicateGroups = 0;  // contents of at least 1 byte held by two or more files
        uint64_t duplicateRows = 0;    // sum over those groups of (files - 1)
        uint64_t duplicateBytes = 0;   // sum over those groups of (files - 1) * size
        uint64_t sharedSizeFiles = 0;  // non-empty files whose size another file has
        uint64_t sharedSizeBytes = 0;
    };

    // A symbolic link to a folder, in folder `folder`, named `name`, leading to folder `target`
    // (written as a relative path). A search that follows it finds nothing new.
    struct SFolderLink {
        uint32_t folder = 0;
        uint32_t target = 0;
        std::string name;
    };

    // A second name (hard link) of file `file`, in folder `folder`. Only files whose content no other
    // file holds get one, so the expected answer stays that of the files alone.
    struct SHardLink {
        uint32_t file = 0;
        uint32_t folder = 0;
        std::string name;
    };

    std::vector<SFolder> folders;
    std::vector<SContent> contents;
    std::vector<SFile> files;
    std::vector<SFolderLink> folderLinks;
    std::vector<SHardLink> hardLinks;

    // The folder's path relative to the root ("" for the root, else "a/b/c").
    std::string FolderPath(uint32_t folder) const;
    // The file's path relative to the root.
    std::string FilePath(uint32_t file) const;
    // Counts the expected answer from the plan.
    SSummary Summarise() const;
};
