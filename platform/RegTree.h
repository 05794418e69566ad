#pragma once
// The contents of the per-user store in memory: a tree of keys, each with named values and
// subkeys, kept in the order they were added. Names compare with A–Z folded (the store is
// case-preserving, not case-sensitive). A value is a type and raw bytes. A tree read from a file
// also remembers the file's lines in order (Lines), so that writing it again puts every key,
// value, comment and foreign line back where it stood. Not thread-safe; each user works on its
// own copy.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CRegTree {
public:
    struct Value {
        std::u16string name;
        uint32_t type = 0;
        std::string data;
    };

    class Key {
    public:
        explicit Key(std::u16string name = {}) : m_name(std::move(name)) {}
        Key(const Key& other);
        Key(Key&&) = default;
        Key& operator=(const Key&) = delete;

        const std::u16string& Name() const { return m_name; }

        // The value or subkey of that name, or null.
        const Value* FindValue(std::u16string_view name) const;
        Key* FindSubkey(std::u16string_view name);
        const Key* FindSubkey(std::u16string_view name) const;

        // The subkey of that name, added at the end when missing; `created` tells which.
        Key& AddSubkey(std::u16string_view name, bool& created);
        // Sets a value, keeping the stored name's case when it exists. Returns false when the
        // value already held exactly this type and data. `position` (optional) receives the
        // value's place in Values().
        bool SetValue(std::u16string_view name, uint32_t type, std::string_view data, size_t* position = nullptr);

        const std::vector<Value>& Values() const { return m_values; }
        const std::vector<std::unique_ptr<Key>>& Subkeys() const { return m_subkeys; }

    private:
        std::u16string m_name;
        std::vector<Value> m_values;
        std::vector<std::unique_ptr<Key>> m_subkeys;
        std::map<std::u16string, size_t> m_valueIndex;   // folded name -> position
        std::map<std::u16string, size_t> m_subkeyIndex;  // folded name -> position
    };

    // One line of the file the tree was read from. Key and value lines point into the tree, so
    // the writer shows them as they are now; text lines (comments, blank lines, lines the reader
    // did not understand) are written back as they were read.
    struct Line {
        enum class Kind : uint8_t { Text, Key, Value };
        Kind kind = Kind::Text;
        const Key* key = nullptr;  // Key and Value lines: the key, null for the root
        size_t value = 0;          // Value lines: the value's position in the key's Values()
        std::u16string text;       // Text lines: the line without its line feed; Key lines: the
                                   // text between the brackets
    };

    CRegTree() = default;
    CRegTree(const CRegTree& other);
    CRegTree(CRegTree&&) = default;
    CRegTree& operator=(const CRegTree&) = delete;

    // Keys nest at most this deep below the root; deeper paths are refused.
    static constexpr size_t kMaxDepth = 512;

    Key& Root() { return m_root; }
    const Key& Root() const { return m_root; }

    // The key at the path below the root (each element one name), or null when missing.
    Key* Find(const std::vector<std::u16string>& path);
    const Key* Find(const std::vector<std::u16string>& path) const;
    // The key at the path, creating missing keys; `created` tells whether the last one was new.
    Key& Create(const std::vector<std::u16string>& path, bool& created);

    // The lines of the file the tree was read from, in order; empty for a tree built in memory.
    std::vector<Line>& Lines() { return m_lines; }
    const std::vector<Line>& Lines() const { return m_lines; }

    // True when a name may be stored as a key name: not empty, no backslash, no control
    // character (U+0000..U+001F, U+007F) and no surrogate outside a valid pair.
    static bool IsValidKeyName(std::u16string_view name);

private:
    Key m_root;
    std::vector<Line> m_lines;
};
