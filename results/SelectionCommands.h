#pragma once
// The commands that set and clear the marks of the results list: a click on a cell's check box,
// the newer or the older file of every row, every file directly in a folder, every file whose
// full path matches a pattern, and clearing every mark. Apart from the click and the clearing
// they only add marks. Also the entries of the Folders menu and the folder an entry names.
// Window thread only; the rows must not change while a command runs.
#include <QObject>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DuplicatePair.h"
#include "platform/Utf16Text.h"

class CListControlMem;
class CResultsView;

using FolderTally = std::map<std::u16string, uint32_t, CodeUnitLess>;

class CSelectionCommands : public QObject {
    Q_OBJECT
public:
    explicit CSelectionCommands(CResultsView& view) : m_view(view) {}

    // From now on Space on the list toggles the mark of its current cell when that cell is an
    // original or a duplicate (the keyboard's click on the box).
    void WatchKeys(CListControlMem& list);

    // A click on cell (row, column) with the hit-test flags of the click point: toggles the mark
    // when the point is exactly on the cell's image (0 <-> 1; any other image is kept). Returns
    // true when the click was on an image.
    bool ClickMark(int row, int column, uint32_t hitFlags);
    // Toggles the mark of one cell as a click on its box does; false outside the list.
    bool ToggleMark(int row, int column);

    // ID_SELECT_NEWER marks the file of every row with the later last-write time, ID_SELECT_OLDER
    // the one with the earlier; on equal times "newer" is the original, "older" the duplicate.
    // Other command ids (0: a dismissed menu) change nothing. Returns true for a known command.
    bool SelectByTime(uint32_t command);

    // Marks, per row, the duplicate when it lies directly in `folder`, else the original when it
    // does. The folder comparison is exact. Returns the number of cells newly marked.
    int SelectFolder(std::u16string_view folder);

    // Marks, per row, the duplicate when its full path matches the pattern text (MatchSpec), else
    // the original when it does. An empty pattern matches nothing. Returns the cells newly marked.
    int SelectPattern(std::u16string_view pattern);

    // Clears both marks of every row.
    void DeselectAll();

    // One entry of the Folders menu: item `command` reads "<folder> [<count>]".
    struct FolderEntry {
        std::u16string folder;
        uint32_t count = 0;
    };
    // The folders that hold the rows' files, each with the number of distinct files directly in
    // it: a file shown in several rows (the original of a set of three or more) counts once.
    static FolderTally FilesPerFolder(const std::vector<CDuplicatePair>& rows);
    // The tally's folders, largest count first (equal counts in path order).
    static std::vector<FolderEntry> FolderMenuEntries(const FolderTally& tally);
    static std::u16string FolderMenuText(const FolderEntry& entry);
    // The folder an entry's text names: the text before its last blank, the whole text when it
    // has none.
    static std::u16string_view FolderOfMenuText(std::u16string_view text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Marks the cell unless it is already marked; true when it changed.
    bool Mark(int row, int column);

    CResultsView& m_view;
    CListControlMem* m_pList = nullptr;
};
