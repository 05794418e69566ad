// Texts of the string table. The status-bar entries are templates whose width, in the bar's
// font, gives each pane its width; their trailing blanks are part of the text.
#include "res/StringTable.h"

#include <array>

#include "res/ResourceIds.h"

namespace {

struct StringEntry {
    int id;
    std::u16string_view text;
};

constexpr std::array kStrings{
    StringEntry{IDS_ABOUTBOX, u"&About Quillon..."},
    StringEntry{IDS_STATUS_FILES, u"Files:                    "},
    StringEntry{IDS_STATUS_DUPS, u"Dups:          "},
    StringEntry{IDS_STATUS_ELAPSED, u"Elapsed Time:                        "},
    StringEntry{IDS_STATUS_SIZE, u"Size:              "},
};

}  // namespace

std::u16string_view LoadStringResource(int id)
{
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}
