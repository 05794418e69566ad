#pragma once
// The search folders: the folders list control and the entries of the settings, kept one to one
// (row i shows entry i's path; every change touches the rows first, then the entries). Adds a
// folder after testing that it is one, deletes the selected one or all, and adds dropped
// folders that are not listed yet. A typed path says why it was not added. Window thread only;
// never used while a search reads the entries.
#include <string>
#include <vector>

#include "app/StrOptions.h"

class CListControlMem;

class CFoldersList {
public:
    CFoldersList(CListControlMem& list, std::vector<CStrOptions>& entries) : m_list(list), m_entries(entries) {}

    // Appends the path with a trailing separator (an empty text stays empty) when it names a
    // folder or a link to one; no test for duplicates or nesting. True when a row was added.
    bool AddFolder(std::u16string path);

    // What became of a typed path.
    enum class AddResult { Added, Empty, NoSuchFolder, AlreadyListed };
    // The typed text as a folder of the list: `~` and `~/...` stand for the home folder, and it ends in exactly one separator (the root stays "/").
    static std::u16string NormalisedFolder(std::u16string text);
    // Adds the typed text (NormalisedFolder) unless it is empty, names no folder, or the list
    // already shows that folder. `folder` receives the normalised text.
    AddResult AddTyped(const std::u16string& text, std::u16string& folder);
    // True when a row shows exactly this text.
    bool IsListed(const std::u16string& folder) const;

    // Removes the selected row and its entry; the row that moved into its place is selected, or
    // the new last row, or nothing when the list is empty. Nothing happens without a selection.
    void DeleteSelected();

    // Removes every row and entry.
    void DeleteAll();

    // Adds each dropped name, in order, unless the list already shows the folder (after the
    // trailing separators are made one); files and missing paths fall out in AddFolder. Returns the
    // number of rows added.
    int AddDropped(const std::vector<std::u16string>& names);

    bool HasSelection() const;

private:
    CListControlMem& m_list;
    std::vector<CStrOptions>& m_entries;
};
