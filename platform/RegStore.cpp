#include "platform/RegStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "platform/RegText.h"
#include "platform/Registry.h"

CRegStore::CRegStore(std::string filePath) : m_filePath(std::move(filePath)), m_root(this, {}, KEY_ALL_ACCESS, true)
{
}

CRegStore& CRegStore::CurrentUser()
{
    static CRegStore* store = [] {
        auto* made = new CRegStore(std::string());  // never destroyed: usable until the very end
        made->m_currentUser = true;
        return made;
    }();
    return *store;
}

std::string CRegStore::DefaultFilePath()
{
    std::string config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && xdg[0] == '/') {
        config = xdg;
    } else if (home && home[0] == '/') {
        config = std::string(home) + "/.config";
    } else {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
            found->pw_dir[0] != '/')
            return {};
        config = std::string(found->pw_dir) + "/.config";
    }
    return config + "/velvane/quillon.reg";
}

std::string CRegStore::FilePath() const
{
    return m_currentUser ? DefaultFilePath() : m_filePath;
}

std::shared_ptr<const CRegTree> CRegStore::Read() const
{
    if (m_batchThread.load() == std::this_thread::get_id() && m_batchTree)
        return std::shared_ptr<const CRegTree>(std::shared_ptr<void>(), m_batchTree);  // not owned
    return ReadCached(nullptr);
}

std::shared_ptr<const CRegTree> CRegStore::ReadCached(CRegText::Damage* damage) const
{
    const CStoreFile file(FilePath());
    std::lock_guard lock(m_mutex);
    const CStoreFile::Stamp now = file.CurrentStamp();
    if (!(m_cachedTree && m_cachedPath == file.Path() && m_cachedStamp == now && now.size >= 0)) {
        CStoreFile::Stamp stamp;
        const std::string bytes = file.Read(&stamp);
        CRegText::Damage found;
        m_cachedTree = std::make_shared<const CRegTree>(CRegText::Parse(bytes, &found));
        m_cachedDamage = std::move(found);
        m_cachedPath = file.Path();
        m_cachedStamp = stamp;
    }
    if (damage)
        *damage = m_cachedDamage;
    return m_cachedTree;
}

CRegText::Damage CRegStore::Damage() const
{
    CRegText::Damage damage;
    ReadCached(&damage);
    return damage;
}

std::u16string CRegStore::DamageNotice() const
{
    const CStoreFile file(FilePath());
    if (!NeedsCopy(file, Damage()))
        return {};
    if (file.IsReadOnly())
        return u"The settings file is damaged and read-only: using what could be read, leaving the file as it is.";
    return u"The settings file is damaged: using what could be read; it is kept as quillon.reg.damaged-<date> "
           u"beside it before it is next written.";
}

bool CRegStore::NeedsCopy(const CStoreFile& file, const CRegText::Damage& damage)
{
    if (!damage.Any())
        return false;
    if (damage.notUtf8 || damage.noHeader || damage.dropped)
        return true;  // the file has not been replaced since: a rewrite changes what it holds
    // Only lines kept in place: a copy is needed unless the newest one holds them all.
    const std::u16string copy = CRegText::Decode(file.ReadNewestCopy());
    std::unordered_set<std::u16string_view> lines;
    size_t start = 0;
    while (start < copy.size()) {
        size_t end = copy.find(u'\n', start);
        if (end == copy.npos)
            end = copy.size();
        lines.insert(std::u16string_view(copy).substr(start, end - start));
        start = end + 1;
    }
    for (const auto& kept : damage.kept) {
        if (!lines.count(kept))
            return true;
    }
    return false;
}

long CRegStore::Finish(const CStoreFile& file, const std::string& current, const CRegText::Damage& damage, const CRegTree& tree,
                       std::string& replacement, bool& write)
{
    if (file.IsReadOnly())
        return ERROR_ACCESS_DENIED;  // not written, so nothing to keep a copy of
    if (NeedsCopy(file, damage)) {
        if (long error = file.KeepCopy(current))
            return error;  // never replace what no copy holds
    }
    replacement = CRegText::Format(tree);
    write = true;
    return ERROR_SUCCESS;
}

long CRegStore::Update(const std::function<long(CRegTree& tree, bool& changed)>& change)
{
    if (m_batchThread.load() == std::this_thread::get_id() && m_batchTree) {
        bool changed = false;
        const long error = change(*m_batchTree, changed);
        *m_batchChanged = *m_batchChanged || changed;
        return error;
    }
    const CStoreFile file(FilePath());
    const long result = file.Apply([&](const std::string& current, std::string& replacement, bool& write) {
        CRegText::Damage damage;
        CRegTree tree = CRegText::Parse(current, &damage);
        bool changed = false;
        if (long error = change(tree, changed))
            return error;
        return changed ? Finish(file, current, damage, tree, replacement, write) : ERROR_SUCCESS;
    });
    std::lock_guard lock(m_mutex);
    m_cachedTree.reset();
    return result;
}

long CRegStore::Batch(const std::function<long()>& work)
{
    if (m_batchThread.load() == std::this_thread::get_id() && m_batchTree)
        return work();
    const CStoreFile file(FilePath());
    long workResult = ERROR_SUCCESS;
    const long result = file.Apply([&](const std::string& current, std::string& replacement, bool& write) {
        CRegText::Damage damage;
        CRegTree tree = CRegText::Parse(current, &damage);
        bool changed = false;
        m_batchTree = &tree;
        m_batchChanged = &changed;
        m_batchThread = std::this_thread::get_id();
        workResult = work();
        m_batchThread = std::thread::id();
        m_batchTree = nullptr;
        m_batchChanged = nullptr;
        return changed ? Finish(file, current, damage, tree, replacement, write) : ERROR_SUCCESS;
    });
    std::lock_guard lock(m_mutex);
    m_cachedTree.reset();
    return result != ERROR_SUCCESS ? result : workResult;
}

HKEY CRegStore::Root()
{
    return m_currentUser ? HKEY_CURRENT_USER : &m_root;
}
