#pragma once
// An immutable UTF-16 path whose copies share one buffer. A search holds the same path in its
// file list, in both digest caches and in the result rows; sharing keeps one copy of the text in
// memory and makes copying a record cheap. Copies may be made and dropped on any thread (the
// share count is atomic); the text itself never changes.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

class CPathString {
public:
    CPathString() = default;
    CPathString(std::u16string_view text);  // NOLINT: a path is made from text wherever text is
    CPathString(const std::u16string& text) : CPathString(std::u16string_view(text)) {}
    CPathString(const char16_t* text) : CPathString(std::u16string_view(text)) {}
    CPathString(const CPathString& other) noexcept;
    CPathString(CPathString&& other) noexcept : m_buffer(other.m_buffer) { other.m_buffer = nullptr; }
    CPathString& operator=(const CPathString& other) noexcept;
    CPathString& operator=(CPathString&& other) noexcept;
    ~CPathString() { Release(); }

    // prefix followed by suffix, in one allocation.
    static CPathString Concat(std::u16string_view prefix, std::u16string_view suffix);

    std::u16string_view view() const { return m_buffer ? std::u16string_view(Text(), m_buffer->size) : std::u16string_view(); }
    operator std::u16string_view() const { return view(); }
    std::u16string str() const { return std::u16string(view()); }
    size_t size() const { return m_buffer ? m_buffer->size : 0; }
    bool empty() const { return size() == 0; }

    friend bool operator==(const CPathString& a, const CPathString& b)
    {
        return a.m_buffer == b.m_buffer || a.view() == b.view();
    }
    friend bool operator==(const CPathString& a, std::u16string_view b) { return a.view() == b; }
    friend bool operator==(const CPathString& a, const std::u16string& b) { return a.view() == b; }
    friend bool operator==(const CPathString& a, const char16_t* b) { return a.view() == b; }
    friend auto operator<=>(const CPathString& a, const CPathString& b) { return a.view() <=> b.view(); }
    friend std::ostream& operator<<(std::ostream& out, const CPathString& path);

    // Asks the processor to fetch the start of the text; has no other effect.
    void Prefetch() const { __builtin_prefetch(m_buffer); }
    // A hash of the code units, for hashed containers of paths; computed once per text.
    size_t Hash() const;

private:
    struct Buffer {
        std::atomic<uint32_t> shares;
        uint32_t size;
        std::atomic<uint64_t> hash;  // 0 until first asked for
    };
    static uint64_t ComputeHash(std::u16string_view text);
    static Buffer* Allocate(size_t size);
    char16_t* Text() const { return reinterpret_cast<char16_t*>(m_buffer + 1); }
    void Release() noexcept;

    Buffer* m_buffer = nullptr;
};

struct PathHash {
    size_t operator()(const CPathString& path) const { return path.Hash(); }
};
