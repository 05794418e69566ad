#include "engine/RecordSort.h"

void GatherInPlace(FileList& records, const std::vector<size_t>& order)
{
    std::vector<bool> placed(records.size());
    for (size_t start = 0; start < records.size(); ++start) {
        if (placed[start])
            continue;
        CFileRecord first = std::move(records[start]);
        size_t place = start;
        for (;;) {
            placed[place] = true;
            const size_t from = order[place];
            if (from == start) {
                records[place] = std::move(first);
                break;
            }
            records[place] = std::move(records[from]);
            place = from;
        }
    }
}
