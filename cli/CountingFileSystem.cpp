#include "cli/CountingFileSystem.h"

#include <algorithm>
#include <utility>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/SearchRun.h"
#include "platform/PathRules.h"

namespace {

// FNV-1a, 64 bits: a fingerprint of the first bytes of a file. Two different beginnings that
// collide only make the pairing's count of files to do one too high.
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t Fingerprint(uint64_t fingerprint, std::u16string_view text)
{
    for (const char16_t unit : text)
        fingerprint = (fingerprint ^ unit) * kFnvPrime;
    return fingerprint;
}

} // namespace

class CCountingFileSystem::CListing : public IDirListing {
public:
    CListing(CCountingFileSystem& owner, std::u16string_view folder, std::unique_ptr<IDirListing> inner)
        : m_owner(owner), m_inner(std::move(inner))
    {
        // The scan names an entry by the folder, the separator (unless the folder ends with one)
        // and the entry's name.
        std::u16string prefix(folder);
        AddTrailingBackslash(prefix);
        m_prefix = Fingerprint(kFnvOffset, prefix);
    }
    FileIdentity Identity() const override { return m_inner->Identity(); }
    bool Next(DirEntry& entry) override
    {
        if (!m_inner->Next(entry))
            return false;
        // The scan's own rule for the files it keeps; the bounds are set before the run starts.
        if (entry.isFile && g_minSize < entry.size && entry.size < g_maxSize) {
            m_owner.m_listedFiles.fetch_add(1, std::memory_order_relaxed);
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            m_owner.m_identities[Fingerprint(m_prefix, entry.name)] = entry.identity;
        }
        return true;
    }

private:
    CCountingFileSystem& m_owner;
    std::unique_ptr<IDirListing> m_inner;
    uint64_t m_prefix;
};

class CCountingFileSystem::CReader : public IFileReader {
public:
    enum class EUse { Other, FirstBytes, Pairing };

    CReader(CCountingFileSystem& owner, std::u16string path, std::unique_ptr<IFileReader> inner, EUse use,
            FileIdentity identity)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)), m_use(use), m_size(m_inner->Size()),
          m_identity(identity)
    {
    }
    ~CReader() override
    {
        const uint64_t wanted = std::min<uint64_t>(m_size, kQuickDigestBytes);
        if (m_use == EUse::FirstBytes && !m_failed && wanted > 0 && m_read >= wanted)
            m_owner.NoteFirstBytes(m_fingerprint, m_size, m_identity);
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
    const FileIdentity m_identity;
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
    return std::make_unique<CListing>(*this, path, std::move(listing));
}

std::unique_ptr<IFileReader> CCountingFileSystem::OpenFile(std::u16string_view path)
{
    // The grouping phase reads the first bytes of files, the pairing phase whole files; the
    // phase is set before either opens its first file.
    const ESearchState phase = g_searchState.load();
    CReader::EUse use = CReader::EUse::Other;
    FileIdentity identity;
    if (phase == ESearchState::Grouping) {
        use = CReader::EUse::FirstBytes;
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_identities.find(Fingerprint(kFnvOffset, path));
        if (found != m_identities.end())
            identity = found->second;
    } else if (phase == ESearchState::Pairing) {
        use = CReader::EUse::Pairing;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_file.assign(path);
    }
    auto reader = m_inner.OpenFile(path);
    if (!reader) {
        NoteUnreadableFile(std::u16string(path));
        return nullptr;
    }
    return std::make_unique<CReader>(*this, std::u16string(path), std::move(reader), use, identity);
}

void CCountingFileSystem::NoteUnreadableFile(std::u16string path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unreadableFiles.insert(std::move(path));
}

void CCountingFileSystem::NoteFirstBytes(uint64_t fingerprint, uint64_t size, FileIdentity identity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The pairing phase never compares a file with itself (a hard link, a folder reached twice):
    // each file counts once among those that begin alike.
    if (identity != FileIdentity{} && !m_firstBytesFiles.emplace(fingerprint, identity.device, identity.inode).second)
        return;
    const auto [found, inserted] = m_firstBytes.try_emplace(fingerprint);
    SFirstBytes& beginning = found->second;
    if (inserted) {
        beginning.size = size;
        return;
    }
    // The second file of a beginning brings the first one into the comparison too.
    m_pairFilesToDo += beginning.compared ? 1 : 2;
    m_pairBytesToDo += size + (beginning.compared ? 0 : beginning.size);
    beginning.compared = true;
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
