#pragma once
// The search folders: the folders list control and the entries of the settings, kept one to one
// (row i shows entry i's path; every change touches the rows first, then the entries). Adds a
// folder after testing that it is one, deletes the selected one or all, and adds dropped
// folders that are not listed yet. Nothing here reports anything: a path that is not a folder is
// simply left out. Window thread only; never used while a search reads the entries.
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

    // Removes the selected row and its entry; the row that moved into its place is selected, or
    // the new last row, or nothing when the list is empty. Nothing happens without a selection.
    void DeleteSelected();

    // Removes every row and entry.
    void DeleteAll();

    // Adds each dropped name, in order, unless the list already shows exactly the text it has
    // after the separator is added; files and missing paths fall out in AddFolder. Returns the
    // number of rows added.
    int AddDropped(const std::vector<std::u16string>& names);

    bool HasSelection() const;

private:
    CListControlMem& m_list;
    std::vector<CStrOptions>& m_entries;
};
