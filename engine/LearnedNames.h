#pragma once
// The names of the files a search learned (native bytes), in one text, in the order of the files:
// what a save of them reads first. Their paths lie scattered in memory: each is asked for well
// before its name is read, first its start (where its length is), then its end (where the name is).
// Any one thread.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DigestStore.h"

class CLearnedNames {
public:
    explicit CLearnedNames(const std::vector<IDigestStore::Learned>& files);
    // The name of files[index].
    std::string_view operator[](size_t index) const
    {
        const uint32_t start = index == 0 ? 0 : m_ends[index - 1];
        return std::string_view(m_text).substr(start, m_ends[index] - start);
    }

private:
    std::string m_text;
    std::vector<uint32_t> m_ends;
};
