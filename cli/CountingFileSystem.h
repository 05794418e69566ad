#pragma once
// The file system quillon-find gives the engine for a run: it passes every call on to the file
// system it wraps and keeps the books the command line reports and the window does not: the
// folders that could not be listed and the files that could not be opened or read, the folder
// being scanned with a running count of the files listed, and how far the pairing phase has
// digested the files it has to compare.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/FileSystem.h"

class CCountingFileSystem : public IFileSystem {
public:
    // Where a run stands, as far as its file-system calls tell.
    struct SProgress {
        std::u16string folder;        // the folder the scan opened last
        uint64_t listedFiles = 0;     // files in the size range the scan has listed so far
        std::u16string file;          // the file the pairing phase opened last
        uint64_t pairedFiles = 0;     // files the pairing phase has read to their end
        uint64_t pairedBytes = 0;     // bytes the pairing phase has read
        uint64_t pairFilesToDo = 0;   // files whose first bytes equal another's: those it compares
        uint64_t pairBytesToDo = 0;   // their sizes
    };

    // Wraps `inner`, which must outlive this object.
    explicit CCountingFileSystem(IFileSystem& inner);

    // Any thread: passes the call on. A folder that cannot be opened is remembered; the listing
    // counts the regular files strictly between g_minSize and g_maxSize, as the scan keeps them.
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override;
    // Any thread: passes the call on. A file that cannot be opened, or whose reader reports a
    // read error, is remembered. Files opened during the grouping phase have their first bytes
    // fingerprinted: the pairing phase compares the files whose first bytes equal those of
    // another file (each file once, however many paths lead to it). Files opened during the
    // pairing phase count towards its progress.
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override;

    // Any thread, at any time: a consistent copy of the progress books.
    SProgress Progress() const;
    // Any thread: the folders that could not be listed and the files that could not be opened
    // or read so far, each path once, in code-unit order.
    std::vector<std::u16string> UnreadableFolders() const;
    std::vector<std::u16string> UnreadableFiles() const;

private:
    class CListing;
    class CReader;

    // The files that begin alike: the size of the first one seen, and whether another joined it.
    struct SFirstBytes {
        uint64_t size = 0;
        bool compared = false;
    };

    void NoteUnreadableFile(std::u16string path);
    void NoteFirstBytes(uint64_t fingerprint, uint64_t size, FileIdentity identity);

    IFileSystem& m_inner;
    mutable std::mutex m_mutex;   // guards everything below but the atomics
    std::set<std::u16string> m_unreadableFolders;
    std::set<std::u16string> m_unreadableFiles;
    std::u16string m_folder;
    std::u16string m_file;
    // Fingerprint of a listed path -> the identity of its file, for the files in the size range.
    std::unordered_map<uint64_t, FileIdentity> m_identities;
    // Fingerprint of a file's first bytes -> the files that begin so.
    std::unordered_map<uint64_t, SFirstBytes> m_firstBytes;
    // (fingerprint of the first bytes, device, inode) of every file counted in m_firstBytes.
    std::set<std::tuple<uint64_t, uint64_t, uint64_t>> m_firstBytesFiles;
    uint64_t m_pairFilesToDo = 0;
    uint64_t m_pairBytesToDo = 0;
    std::atomic<uint64_t> m_listedFiles{0};
    std::atomic<uint64_t> m_pairedFiles{0};
    std::atomic<uint64_t> m_pairedBytes{0};
};
