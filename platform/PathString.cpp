#include "platform/PathString.h"

#include <cstring>
#include <new>

#include "platform/NativeName.h"

CPathString::Buffer* CPathString::Allocate(size_t size)
{
    void* memory = ::operator new(sizeof(Buffer) + size * sizeof(char16_t));
    return new (memory) Buffer{{1}, static_cast<uint32_t>(size), {0}};
}

CPathString::CPathString(std::u16string_view text)
{
    if (text.empty())
        return;
    m_buffer = Allocate(text.size());
    std::memcpy(Text(), text.data(), text.size() * sizeof(char16_t));
}

CPathString CPathString::Concat(std::u16string_view prefix, std::u16string_view suffix)
{
    CPathString path;
    if (prefix.empty() && suffix.empty())
        return path;
    path.m_buffer = Allocate(prefix.size() + suffix.size());
    std::memcpy(path.Text(), prefix.data(), prefix.size() * sizeof(char16_t));
    std::memcpy(path.Text() + prefix.size(), suffix.data(), suffix.size() * sizeof(char16_t));
    return path;
}

CPathString::CPathString(const CPathString& other) noexcept : m_buffer(other.m_buffer)
{
    if (m_buffer)
        m_buffer->shares.fetch_add(1, std::memory_order_relaxed);
}

CPathString& CPathString::operator=(const CPathString& other) noexcept
{
    if (m_buffer == other.m_buffer)
        return *this;  // the same text already: no share to take or give back
    Buffer* const incoming = other.m_buffer;
    if (incoming)
        incoming->shares.fetch_add(1, std::memory_order_relaxed);
    Release();
    m_buffer = incoming;
    return *this;
}

CPathString& CPathString::operator=(CPathString&& other) noexcept
{
    if (this != &other) {
        Release();
        m_buffer = other.m_buffer;
        other.m_buffer = nullptr;
    }
    return *this;
}

void CPathString::Release() noexcept
{
    if (m_buffer && m_buffer->shares.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        m_buffer->~Buffer();
        ::operator delete(m_buffer);
    }
    m_buffer = nullptr;
}

size_t CPathString::Hash() const
{
    if (!m_buffer)
        return 0;
    // The text never changes, so threads that race here store the same value.
    uint64_t hash = m_buffer->hash.load(std::memory_order_relaxed);
    if (hash == 0) {
        hash = ComputeHash(view()) | 1;
        m_buffer->hash.store(hash, std::memory_order_relaxed);
    }
    return static_cast<size_t>(hash);
}

uint64_t CPathString::ComputeHash(std::u16string_view text)
{
    // Eight bytes at a time, each mixed in with a multiply; paths share long prefixes, so every
    // unit counts.
    const char* bytes = reinterpret_cast<const char*>(text.data());
    size_t length = text.size() * sizeof(char16_t);
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ length;
    for (; length >= 8; length -= 8, bytes += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, bytes, 8);
        hash = (hash ^ chunk) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, bytes, length);
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 29);
}

std::ostream& operator<<(std::ostream& out, const CPathString& path)
{
    return out << EncodeNativeName(path.view());
}
