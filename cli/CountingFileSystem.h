#pragma once
// The file system quillon-find gives the engine for a run: it passes every call on to the file
// system it wraps and keeps the books the command line reports and the window does not: the
// folders that could not be listed and the files that could not be opened or read, and, for the
// progress line, the folder being scanned with a running count of the files listed and how far
// the pairing phase has read the files it has to compare.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"

class CCountingFileSystem : public IFileSystem {
public:
    // Where a run stands, as far as its file-system calls tell.
    struct SProgress {
        std::u16string folder;       // the folder the scan opened last
        uint64_t listedFiles = 0;    // files in the size range the scan has listed so far
        std::u16string file;         // the file the pairing phase opened last
        uint64_t pairedFiles = 0;    // files the pairing phase has read to their end
        uint64_t pairedBytes = 0;    // bytes the pairing phase has read
        uint64_t pairFilesToDo = 0;  // files whose first bytes equal another file's: those it compares
        uint64_t pairBytesToDo = 0;  // their sizes
    };

    // Wraps `inner`, which must outlive this object. Without `trackProgress` only the unreadable
    // folders and files are recorded, and Progress() reports nothing.
    CCountingFileSystem(IFileSystem& inner, bool trackProgress);

    // Any thread: passes the call on. A folder that cannot be opened is remembered; the listing
    // counts the regular files strictly between g_minSize and g_maxSize, as the scan keeps them.
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override;
    // Any thread: passes the call on. A file that cannot be opened, or whose reader reports a
    // read error, is remembered. The first bytes of files read during the grouping phase are
    // fingerprinted; files read during the pairing phase count towards its progress.
    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override;
    // Passed on; a hint is not an opening, so nothing is counted.
    void WillRead(std::u16string_view path, uint64_t bytes) override { m_inner.WillRead(path, bytes); }

    // Any thread, at any time: a copy of the progress books. The first call during the pairing
    // phase works out the files it compares: those whose first bytes equal those of another file
    // (each file once, however many paths lead to it: the pairing never compares a file with
    // itself); it takes a sort of what the scan listed and the grouping read.
    SProgress Progress();
    // Any thread: the folders that could not be listed and the files that could not be opened
    // or read so far, each path once, in code-unit order.
    std::vector<std::u16string> UnreadableFolders() const;
    std::vector<std::u16string> UnreadableFiles() const;

private:
    class CListing;
    class CReader;

    // A file the grouping phase read the first bytes of.
    struct SFirstBytes {
        uint64_t fingerprint = 0;
        uint64_t pathKey = 0;
        uint64_t size = 0;
    };

    void NoteUnreadableFile(std::u16string path);
    void CountPairingWork();

    IFileSystem& m_inner;
    const bool m_trackProgress;
    mutable std::mutex m_mutex;  // guards everything below but the atomics
    std::set<std::u16string> m_unreadableFolders;
    std::set<std::u16string> m_unreadableFiles;
    std::u16string m_folder;
    std::u16string m_file;
    std::vector<std::pair<uint64_t, FileIdentity>> m_identities;  // key of a listed path, its file
    std::vector<SFirstBytes> m_firstBytes;
    bool m_pairingCounted = false;
    uint64_t m_pairFilesToDo = 0;
    uint64_t m_pairBytesToDo = 0;
    std::atomic<uint64_t> m_listedFiles{0};
    std::atomic<uint64_t> m_pairedFiles{0};
    std::atomic<uint64_t> m_pairedBytes{0};
};
