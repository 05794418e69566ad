#pragma once
// An open key of the per-user store: which store, the path of names from its root, and the access
// it was opened with. The key itself lives in the store's file; the handle only names it, so a
// handle stays valid while other programs change the file. Handles are made by RegOpenKeyEx /
// RegCreateKeyEx and freed by RegCloseKey; the roots are predefined and never freed.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

class CRegStore;

class CRegKey {
public:
    // The root of the current user's store.
    constexpr CRegKey() = default;
    CRegKey(CRegStore* store, std::vector<std::u16string> path, uint32_t access, bool predefined)
        : m_store(store), m_path(std::move(path)), m_access(access), m_predefined(predefined)
    {
    }

    // The store the key belongs to (the current user's store when none was given).
    CRegStore& Store() const;
    CRegStore* StorePointer() const { return m_store; }
    const std::vector<std::u16string>& Path() const { return m_path; }
    uint32_t Access() const { return m_access; }
    bool IsPredefined() const { return m_predefined; }

private:
    CRegStore* m_store = nullptr;
    std::vector<std::u16string> m_path;
    uint32_t m_access = KEY_ALL_ACCESS;
    bool m_predefined = true;
};
