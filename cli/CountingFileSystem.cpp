#include "cli/CountingFileSystem.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <tuple>

#include "engine/Catalogue.h"
#include "engine/Digest.h"
#include "engine/ScanExclusions.h"
#include "engine/SearchRun.h"
#include "platform/PathRules.h"

namespace {

// A 64-bit key of a path. Two paths that collide only leave the identity of a file unknown.
uint64_t PathKey(std::u16string_view path)
{
    return std::hash<std::u16string_view>{}(path);
}

}  // namespace

class CCountingFileSystem::CListing : public IDirListing {
public:
    CListing(CCountingFileSystem& owner, std::u16string_view folder, std::unique_ptr<IDirListing> inner)
        : m_owner(owner), m_inner(std::move(inner)), m_path(folder)
    {
        // The scan names an entry by the folder, the separator (unless the folder ends with one)
        // and the entry's name.
        AddTrailingBackslash(m_path);
        m_prefix = m_path.size();
    }
    ~CListing() override
    {
        if (m_files.empty())
            return;
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_identities.insert(m_owner.m_identities.end(), m_files.begin(), m_files.end());
    }
    FileIdentity Identity() const override { return m_inner->Identity(); }
    bool Next(DirEntry& entry) override
    {
        if (!m_inner->Next(entry))
            return false;
        // The scan's own rule for the files it keeps; the bounds are set before the run starts.
        if (m_owner.m_trackProgress && entry.isFile && g_minSize < entry.size && entry.size < g_maxSize &&
            !ScanExcludes(std::u16string_view(m_path).substr(0, m_prefix), entry)) {
            m_owner.m_listedFiles.fetch_add(1, std::memory_order_relaxed);
            m_path.resize(m_prefix);
            m_path += entry.name;
            m_files.emplace_back(PathKey(m_path), entry.identity);
        }
        return true;
    }

private:
    CCountingFileSystem& m_owner;
    const std::unique_ptr<IDirListing> m_inner;
    std::u16string m_path;
    size_t m_prefix = 0;
    std::vector<std::pair<uint64_t, FileIdentity>> m_files;  // handed over when the listing ends
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
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(m_size, kQuickDigestBytes));
        if (m_use != EUse::FirstBytes || m_failed || wanted == 0 || m_read < wanted)
            return;
        const SFirstBytes read{std::hash<std::string_view>{}(std::string_view(m_first.data(), wanted)), PathKey(m_path), m_size};
        std::lock_guard<std::mutex> lock(m_owner.m_mutex);
        m_owner.m_firstBytes.push_back(read);
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
        const uint64_t before = m_read;
        m_read += static_cast<uint64_t>(got);
        if (m_use == EUse::FirstBytes && before < m_first.size()) {
            const size_t copied = static_cast<size_t>(std::min<uint64_t>(m_read, m_first.size()) - before);
            std::memcpy(m_first.data() + before, buffer, copied);
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
    bool m_failed = false;
    std::array<char, kQuickDigestBytes> m_first;  // the bytes the grouping phase compares
};

CCountingFileSystem::CCountingFileSystem(IFileSystem& inner, bool trackProgress) : m_inner(inner), m_trackProgress(trackProgress)
{
}

std::unique_ptr<IDirListing> CCountingFileSystem::OpenFolder(std::u16string_view path)
{
    if (m_trackProgress) {
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
    CReader::EUse use = CReader::EUse::Other;
    if (m_trackProgress) {
        const ESearchState phase = g_searchState.load();
        if (phase == ESearchState::Grouping) {
            use = CReader::EUse::FirstBytes;
        } else if (phase == ESearchState::Pairing) {
            use = CReader::EUse::Pairing;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_file.assign(path);
        }
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

void CCountingFileSystem::CountPairingWork()
{
    // The scan and the grouping phase have ended: their listings and readers are all closed.
    std::sort(m_identities.begin(), m_identities.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    struct SFile {
        uint64_t fingerprint;
        FileIdentity identity;
        uint64_t size;
    };
    std::vector<SFile> files;
    files.reserve(m_firstBytes.size());
    for (const SFirstBytes& read : m_firstBytes) {
        const auto found = std::lower_bound(m_identities.begin(), m_identities.end(), read.pathKey,
                                            [](const auto& entry, uint64_t key) { return entry.first < key; });
        const bool known = found != m_identities.end() && found->first == read.pathKey;
        files.push_back({read.fingerprint, known ? found->second : FileIdentity{}, read.size});
    }
    const auto byBeginningAndFile = [](const SFile& a, const SFile& b) {
        return std::tie(a.fingerprint, a.identity.device, a.identity.inode) <
            std::tie(b.fingerprint, b.identity.device, b.identity.inode);
    };
    std::sort(files.begin(), files.end(), byBeginningAndFile);
    // Each file once: a second path to a known file is the same file.
    files.erase(std::unique(files.begin(), files.end(),
                            [](const SFile& a, const SFile& b) {
                                return a.fingerprint == b.fingerprint && a.identity == b.identity && a.identity != FileIdentity{};
                            }),
                files.end());
    for (size_t first = 0; first < files.size();) {
        size_t next = first + 1;
        uint64_t bytes = files[first].size;
        for (; next < files.size() && files[next].fingerprint == files[first].fingerprint; ++next)
            bytes += files[next].size;
        if (next - first >= 2) {
            m_pairFilesToDo += next - first;
            m_pairBytesToDo += bytes;
        }
        first = next;
    }
    m_identities = {};
    m_firstBytes = {};
    m_pairingCounted = true;
}

CCountingFileSystem::SProgress CCountingFileSystem::Progress()
{
    SProgress progress;
    if (!m_trackProgress)
        return progress;
    const bool pairing = g_searchState.load() == ESearchState::Pairing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (pairing && !m_pairingCounted)
            CountPairingWork();
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
