#pragma once
// What the program remembers between runs: the search folders in their order and the last text
// of the path edit. Kept under HKEY_CURRENT_USER\Software\Velvane\Quillon 1.0\Settings:
//   "m_Folder"                       REG_SZ     the last path text
//   m_Folders\"Count"                REG_DWORD  the number of folders n
//   m_Folders\0 ... m_Folders\<n-1>  "m_Folder" REG_SZ, the folder's path
// Subkeys at or above "Count", left from a longer list, stay in the store and are ignored.
// Loaded once before the main dialog exists and saved once after it has ended, on the main
// thread; during a search the worker only reads m_Folders, which nothing changes meanwhile.
#include <string>
#include <vector>

#include "app/RegSettings.h"
#include "app/StrOptions.h"

class CSettings : public CRegSettings {
public:
    // Empty folders and path; the key path is the pattern with its arguments.
    CSettings(HKEY root, std::u16string_view pattern, std::initializer_list<PatternArg> args = {})
        : CRegSettings(root, pattern, args)
    {
    }

    // Save: OnBeforeSave, the folders, then "m_Folder" (not written when saving the folders
    // failed; that error is returned). Load: the folders, then "m_Folder" (empty when it cannot
    // be read), then OnAfterLoad; returns the result of reading "m_Folder". Defaults: empty
    // path; the folders are left as they are; no hook.
    // The folders load entries 0 to Count - 1 and stop at the first missing one. From a store
    // whose reading skipped something, every entry whose path could be read loads instead, in
    // index order: those below Count, or all of them when Count itself was lost.
    long Exchange(HKEY key, bool save, bool useDefaults) override;

    std::vector<CStrOptions> m_Folders;
    std::u16string m_Folder;

private:
    long SaveFolders(HKEY key);
    long LoadFolders(HKEY key, bool damaged);
    // The indices below `limit` of the entry subkeys present, ascending.
    static std::vector<uint32_t> EntryIndices(HKEY folders, uint32_t limit);
};

// The program's settings, under HKEY_CURRENT_USER\Software\Velvane\Quillon 1.0\Settings.
extern CSettings theSettings;
