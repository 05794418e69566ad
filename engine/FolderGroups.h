#pragma once
// Files grouped by folder, for the digest store: a folder (native bytes, SectionFolderOf) is a
// section of a row, the name of each of its files an entry in it. Each folder is encoded once; the
// groups come in the byte order of their folders. The files of one folder listing (the same folder
// number) are put together by their numbers; the others, and listings of one folder made twice,
// by their folder's text. A group's names are encoded (or taken from the names given) and put in
// byte order when its members are first asked for: a save writes its rows while it does that, and
// a load asks only for the groups of folders the store has. Any one thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/DigestStore.h"

class CLearnedNames;

// File: IDigestStore::Wanted or IDigestStore::Learned (a path and a folder listing).
template <typename File>
class CFolderGroups {
public:
    struct Member {
        std::string_view name;  // native bytes
        size_t index;           // of the file given
    };
    struct Group {
        explicit Group(std::string text) : folder(std::move(text)) {}
        std::string folder;
        size_t first = 0;  // its members: m_members[first, first + count)
        size_t count = 0;
        bool named = false;
        bool oneListing = true;  // its files come from one folder listing: each name is there once
        std::string names;       // the members' names, once named
    };
    using MemberIterator = typename std::vector<Member>::const_iterator;
    using Members = std::pair<MemberIterator, MemberIterator>;

    // `files` must outlive the groups.
    explicit CFolderGroups(const std::vector<File>& files);
    // The same, with the names of the files already known (CLearnedNames of `files`), which must
    // outlive the groups as well.
    CFolderGroups(const std::vector<File>& files, const CLearnedNames& names) : CFolderGroups(files) { m_names = &names; }

    const std::vector<Group>& Groups() const { return m_groups; }
    // The indices of a group's files, in no particular order until the group is named.
    Members Unnamed(size_t index) const;
    // The members of a group, in the byte order of their names (and then of their indices).
    Members MembersOf(size_t index);
    // The members of a group with this name.
    Members Named(size_t index, std::string_view name);

private:
    // Groups of the files by folder listing (or by folder text), in the order met, and the group
    // of each file.
    std::vector<Group> GroupByListing(std::vector<uint32_t>& groupOf) const;
    // Puts the groups in the byte order of their folders, one group per folder, and every file in
    // its group's place.
    void OrderByFolder(std::vector<Group>& groups, const std::vector<uint32_t>& groupOf);
    std::pair<typename std::vector<Member>::iterator, typename std::vector<Member>::iterator> Range(size_t index);

    const std::vector<File>& m_files;
    const CLearnedNames* m_names = nullptr;
    std::vector<Group> m_groups;
    std::vector<Member> m_members;
};
