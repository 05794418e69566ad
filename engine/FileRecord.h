#pragma once
#include <vector>

#include "engine/Md5.h"
#include "engine/Sha256.h"
#include "platform/FileState.h"
#include "platform/PathString.h"

// One file found by the scan: its state as the listing reported it (size, last-write and change
// times, identity; a regular file), and what the search learns of it. A plain value; copying it
// copies every field. A digest cache keeps such a record as its entry: the digest with the state
// it was taken of.
class CFileRecord : public FileState {
public:
    Md5Digest digest{};         // quick digest in g_fileList; full digest only in temporary copies
    StrongDigest strong{};      // with a full digest: the SHA-256 of the same bytes (zeros otherwise)
    CPathString path;           // the folder path, the separator, the entry name
    uint32_t listPosition = 0;  // place in the search's listing, numbered when the grouping phase starts
    uint32_t folder = 0;        // number of the listing of the folder the scan found it in; 0: none

    const FileState& State() const { return *this; }
};

// Whether two records name one file: their identities are known and equal (a folder walked twice,
// a folder reached through a link, or a hard link). Such a pair must never become a row, or the
// only copy of a file would be offered for deletion.
inline bool SameFile(const CFileRecord& a, const CFileRecord& b)
{
    return a.identity == b.identity && a.identity != FileIdentity{};
}

// The folder listing numbers (CFileRecord::folder) some files carry. The listings of one run have
// consecutive numbers, so a table by number fits in an array over [Low(), Low() + Span()) when the
// numbers are dense: the array is then at most a few times as long as there are files.
class CFolderNumbers {
public:
    // Of `files` (records, or anything with a `folder` number); 0 is no number.
    template <typename Files>
    explicit CFolderNumbers(const Files& files) : m_files(files.size())
    {
        for (const auto& file : files) {
            if (file.folder != 0) {
                m_low = file.folder < m_low ? file.folder : m_low;
                m_high = file.folder > m_high ? file.folder : m_high;
            }
        }
    }
    bool Dense() const { return m_low <= m_high && m_high - m_low <= 4 * m_files + 1024; }
    uint32_t Low() const { return m_low; }
    size_t Span() const { return Dense() ? m_high - m_low + 1 : 0; }

private:
    size_t m_files;
    uint32_t m_low = UINT32_MAX;
    uint32_t m_high = 0;
};

// The records of a search, contiguous: walking them in order stays in the processor's caches, and
// the scan makes no allocation per file for them.
using FileList = std::vector<CFileRecord>;
