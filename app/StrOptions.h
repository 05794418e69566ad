#pragma once
// One search folder entry: the folder's path, kept as the string value "m_Folder" of the key its
// owner opens for it (the entry has no key path of its own). Main thread only.
#include <string>

#include "app/RegSettings.h"

class CStrOptions : public CRegSettings {
public:
    CStrOptions() : CRegSettings(nullptr, u"") {}
    explicit CStrOptions(std::u16string folder) : CRegSettings(nullptr, u""), m_Folder(std::move(folder)) {}

    // Save: OnBeforeSave, then write "m_Folder". Load: read "m_Folder" (empty when it cannot be
    // read), then OnAfterLoad. Defaults: empty path, no hook. Returns the write's or read's result.
    long Exchange(HKEY key, bool save, bool useDefaults) override;

    std::u16string m_Folder;
};
