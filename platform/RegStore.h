#pragma once
// The per-user store: the tree of keys and values of one file in the text form of CRegText,
// read and changed through CStoreFile (file lock, atomic replace). Reading parses the file again
// only when it was replaced or changed since the last read. Any thread may call; one mutex
// guards the cached contents.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/RegKey.h"
#include "platform/RegTree.h"
#include "platform/StoreFile.h"

class CRegStore {
public:
    // The store kept in that file.
    explicit CRegStore(std::string filePath);
    CRegStore(const CRegStore&) = delete;
    CRegStore& operator=(const CRegStore&) = delete;

    // The current user's store. Its file is looked up again at every call (DefaultFilePath), so
    // a change of XDG_CONFIG_HOME takes effect at once.
    static CRegStore& CurrentUser();
    // ${XDG_CONFIG_HOME:-$HOME/.config}/velvane/quillon.reg (a relative XDG_CONFIG_HOME is
    // ignored, as the base-directory rules ask; without HOME the password database gives the
    // home folder). Empty when no home folder is known.
    static std::string DefaultFilePath();

    // The file of this store now.
    std::string FilePath() const;
    // The contents as they are on disk now. Never fails: a missing file is an empty store, a
    // damaged one gives what could be read.
    std::shared_ptr<const CRegTree> Read() const;
    // Applies `change` to the contents as they are on disk, under the file lock. When it returns
    // 0 and sets `changed`, the file is replaced. Returns 0, the change's error, or the error of
    // writing (see CStoreFile::Apply).
    long Update(const std::function<long(CRegTree& tree, bool& changed)>& change);

    // The root key of this store: a handle that needs no closing.
    HKEY Root();

private:
    bool m_currentUser = false;
    std::string m_filePath;
    CRegKey m_root;

    mutable std::mutex m_mutex;
    mutable std::string m_cachedPath;
    mutable CStoreFile::Stamp m_cachedStamp;
    mutable std::shared_ptr<const CRegTree> m_cachedTree;
};
