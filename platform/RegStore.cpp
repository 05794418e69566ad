#include "platform/RegStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/RegText.h"

CRegStore::CRegStore(std::string filePath)
    : m_filePath(std::move(filePath)), m_root(this, {}, KEY_ALL_ACCESS, true)
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
        passwd entry {};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found
            || !found->pw_dir || found->pw_dir[0] != '/')
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
    const CStoreFile file(FilePath());
    std::lock_guard lock(m_mutex);
    const CStoreFile::Stamp now = file.CurrentStamp();
    if (m_cachedTree && m_cachedPath == file.Path() && m_cachedStamp == now && now.size >= 0)
        return m_cachedTree;
    CStoreFile::Stamp stamp;
    const std::string bytes = file.Read(&stamp);
    auto tree = std::make_shared<const CRegTree>(CRegText::Parse(bytes));
    m_cachedPath = file.Path();
    m_cachedStamp = stamp;
    m_cachedTree = tree;
    return tree;
}

long CRegStore::Update(const std::function<long(CRegTree& tree, bool& changed)>& change)
{
    const CStoreFile file(FilePath());
    const long result = file.Apply([&](const std::string& current, std::string& replacement, bool& write) {
        CRegTree tree = CRegText::Parse(current);
        bool changed = false;
        if (long error = change(tree, changed))
            return error;
        if (changed) {
            replacement = CRegText::Format(tree);
            write = true;
        }
        return ERROR_SUCCESS;
    });
    std::lock_guard lock(m_mutex);
    m_cachedTree.reset();
    return result;
}

HKEY CRegStore::Root()
{
    return m_currentUser ? HKEY_CURRENT_USER : &m_root;
}
