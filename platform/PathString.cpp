#include "platform/PathString.h"

#include <cstring>
#include <new>

#include "platform/NativeName.h"

CPathString::Buffer* CPathString::Allocate(size_t size)
{
    void* memory = ::operator new(sizeof(Buffer) + size * sizeof(char16_t));
    return new (memory) Buffer{{1}, static_cast<uint32_t>(size)};
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
    Buffer* const incoming = other.m_buffer;  // read first: `other` may be this object
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

std::ostream& operator<<(std::ostream& out, const CPathString& path)
{
    return out << EncodeNativeName(path.view());
}
