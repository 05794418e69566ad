#pragma once
// A file system for window tests that holds the search at a chosen moment: the first listing,
// open or read for which `hold` answers true waits until the test calls Release(). Everything
// else goes to the real file system. Listings and opens may come from the worker and from the
// digest threads at once.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/FileSystem.h"
#include "platform/PosixFileSystem.h"

namespace quillon::test {

class GateFileSystem : public IFileSystem {
public:
    enum class Kind { Listing, Open, Read };
    // What is about to happen: a folder listed, a file opened, or a read of a file that has
    // given `bytesSoFar` bytes already.
    struct Event {
        Kind kind;
        std::u16string_view path;
        uint64_t bytesSoFar = 0;
    };

    std::function<bool(const Event&)> hold;
    std::atomic<int> listings{0};

    // True once an operation waits at the gate.
    bool Reached() const { return m_reached.load(); }

    // Lets the held operation (and every later one) go on.
    void Release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        ++listings;
        Pass({Kind::Listing, path});
        return CPosixFileSystem::Instance().OpenFolder(path);
    }

    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override
    {
        Pass({Kind::Open, path});
        auto real = CPosixFileSystem::Instance().OpenFile(path);
        if (!real)
            return nullptr;
        return std::make_unique<Reader>(*this, std::u16string(path), std::move(real));
    }

private:
    class Reader : public IFileReader {
    public:
        Reader(GateFileSystem& owner, std::u16string path, std::unique_ptr<IFileReader> real)
            : m_owner(owner), m_path(std::move(path)), m_real(std::move(real))
        {
        }
        uint64_t Size() const override { return m_real->Size(); }
        int64_t Read(void* buffer, size_t count) override
        {
            m_owner.Pass({Kind::Read, m_path, m_total});
            const int64_t got = m_real->Read(buffer, count);
            if (got > 0)
                m_total += static_cast<uint64_t>(got);
            return got;
        }

    private:
        GateFileSystem& m_owner;
        std::u16string m_path;
        std::unique_ptr<IFileReader> m_real;
        uint64_t m_total = 0;
    };

    void Pass(const Event& event)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_released || m_reached.load() || !hold || !hold(event))
            return;
        m_reached = true;
        m_changed.wait(lock, [this] { return m_released; });
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_reached{false};
    bool m_released = false;
};

}  // namespace quillon::test
