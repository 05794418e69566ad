#include "cli/CountingFileSystem.h"

#include <algorithm>
#include <utility>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/SearchRun.h"

namespace {

// FNV-1a, 64 bits: a fingerprint of the first bytes of a file. Two different beginnings that
// collide only make the pairing's count of files to do one too high.
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

} // namespace

class CCountingFileSystem::CListing : public IDirListing {
public:
    CListing(std::unique_ptr<IDirListing> inner, std::atomic<uint64_t>& listed)
        : m_inner(std::move(inner)), m_listed(listed)
    {
    }
    FileIdentity Identity() const override { return m_inner->Identity(); }
    bool Next(DirEntry& entry) override
    {
        if (!m_inner->Next(entry))
            return false;
        // The scan's own rule for the files it keeps; the bounds are set before the run starts.
        if (entry.isFile && g_minSize < entry.size && entry.size < g_maxSize)
            m_listed.fetch_add(1, std::memory_order_relaxed);
        return true;
    }

private:
    std::unique_ptr<IDirListing> m_inner;
    std::atomic<uint64_t>& m_listed;
};

class CCountingFileSystem::CReader : public IFileReader {
public:
    enum class EUse { Other, FirstBytes, Pairing };

    CReader(CCountingFileSystem& owner, std::u16string path, std::unique_ptr<IFileReader> inner, EUse use)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)), m_use(use), m_size(m_inner->Size())
    {
    }
    ~CReader() override
    {
        const uint64_t wanted = std::min<uint64_t>(m_size, kQuickDigestBytes);
        if (m_use == EUse::FirstBytes && !m_failed && wanted > 0 && m_read >= wanted)
            m_owner.NoteFirstBytes(m_fingerprint, m_size);
    }
    uint64_t Size() const override { return m_size; }
    int64_t Read(void* buffer, size_t count) override
    {
        const int64_t got = m_inner->Read(buffer, count);
        if (got < 0) {
            if (!m_failed)
                m_owner.NoteUnreadableFile(m_path);
            m_failed = true;
            return got;
        }
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        const uint64_t before = m_read;
        m_read += static_cast<uint64_t>(got);
        if (m_use == EUse::FirstBytes) {
            for (uint64_t at = before; at < m_read && at < kQuickDigestBytes; ++at)
                m_fingerprint = (m_fingerprint ^ bytes[at - before]) * kFnvPrime;
        } else if (m_use == EUse::Pairing && got > 0) {
            m_owner.m_pairedBytes.fetch_add(static_cast<uint64_t>(got), std::memory_order_relaxed);
            if (before < m_size && m_read >= m_size)
                m_owner.m_pairedFiles.fetch_add(1, std::memory_order_relaxed);
        }
        return got;
    }

private:
    CCountingFileSystem& m_owner;
    const std::u16string m_path;
    const std::unique_ptr<IFileReader> m_inner;
    const EUse m_use;
    const uint64_t m_size;
    uint64_t m_read = 0;
    uint64_t m_fingerprint = kFnvOffset;
    bool m_failed = false;
};

CCountingFileSystem::CCountingFileSystem(IFileSystem& inner) : m_inner(inner)
{
}

std::unique_ptr<IDirListing> CCountingFileSystem::OpenFolder(std::u16string_view path)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_folder.assign(path);
    }
    auto listing = m_inner.OpenFolder(path);
    if (!listing) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unreadableFolders.emplace(path);
        return nullptr;
    }
    return std::make_unique<CListing>(std::move(listing), m_listedFiles);
}

std::unique_ptr<IFileReader> CCountingFileSystem::OpenFile(std::u16string_view path)
{
    // The grouping phase reads the first bytes of files, the pairing phase whole files; the
    // phase is set before either opens its first file.
    const ESearchState phase = g_searchState.load();
    CReader::EUse use = CReader::EUse::Other;
    if (phase == ESearchState::Grouping)
        use = CReader::EUse::FirstBytes;
    else if (phase == ESearchState::Pairing)
        use = CReader::EUse::Pairing;
    if (use == CReader::EUse::Pairing) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_file.assign(path);
    }
    auto reader = m_inner.OpenFile(path);
    if (!reader) {
        NoteUnreadableFile(std::u16string(path));
        return nullptr;
    }
    return std::make_unique<CReader>(*this, std::u16string(path), std::move(reader), use);
}

void CCountingFileSystem::NoteUnreadableFile(std::u16string path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unreadableFiles.insert(std::move(path));
}

void CCountingFileSystem::NoteFirstBytes(uint64_t fingerprint, uint64_t size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& [count, firstSize] = m_firstBytes[fingerprint];
    if (++count == 1) {
        firstSize = size;
        return;
    }
    // The second file of a beginning brings the first one into the comparison too.
    m_pairFilesToDo += count == 2 ? 2 : 1;
    m_pairBytesToDo += size + (count == 2 ? firstSize : 0);
}

CCountingFileSystem::SProgress CCountingFileSystem::Progress() const
{
    SProgress progress;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        progress.folder = m_folder;
        progress.file = m_file;
        progress.pairFilesToDo = m_pairFilesToDo;
        progress.pairBytesToDo = m_pairBytesToDo;
    }
    progress.listedFiles = m_listedFiles.load(std::memory_order_relaxed);
    progress.pairedFiles = m_pairedFiles.load(std::memory_order_relaxed);
    progress.pairedBytes = m_pairedBytes.load(std::memory_order_relaxed);
    return progress;
}

std::vector<std::u16string> CCountingFileSystem::UnreadableFolders() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_unreadableFolders.begin(), m_unreadableFolders.end()};
}

std::vector<std::u16string> CCountingFileSystem::UnreadableFiles() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_unreadableFiles.begin(), m_unreadableFiles.end()};
}
