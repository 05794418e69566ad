#pragma once
// Test doubles and a fixture for the engine: a sink that records messages, a file system that
// wraps the real one and can fail or cut short chosen operations, and a fixture that gives every
// test fresh engine globals.
#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DigestStore.h"
#include "engine/EngineSink.h"
#include "engine/SearchRun.h"
#include "platform/NativeName.h"
#include "platform/PosixFileSystem.h"
#include "tests/support/TempDir.h"

namespace quillon::test {

class RecordingSink : public IEngineSink {
public:
    void SendMessage(unsigned message) override
    {
        messages.push_back(message);
        if (onMessage)
            onMessage(message);
    }
    size_t Count(unsigned message) const
    {
        size_t n = 0;
        for (unsigned m : messages)
            n += m == message;
        return n;
    }

    std::vector<unsigned> messages;
    std::function<void(unsigned)> onMessage;
};

// Files are opened and read on several threads at once (the digest pool), so the double guards
// its books with a mutex; the hooks run outside it.
class FaultFileSystem : public IFileSystem {
public:
    std::unique_ptr<IDirListing> OpenFolder(std::u16string_view path) override
    {
        ++foldersOpened;
        if (failFolders.count(std::u16string(path)))
            return nullptr;
        auto real = CPosixFileSystem::Instance().OpenFolder(path);
        if (!real || (pseudoLinks.empty() && !wholeSecondTimes))
            return real;
        return std::make_unique<Listing>(*this, std::u16string(path), std::move(real));
    }

    std::unique_ptr<IFileReader> OpenFile(std::u16string_view path) override
    {
        const std::u16string key(path);
        if (beforeOpenFile)
            beforeOpenFile(key);
        {
            std::lock_guard<std::mutex> lock(mutex);
            opened.push_back(key);
            if (failFiles.count(key))
                return nullptr;
        }
        auto real = CPosixFileSystem::Instance().OpenFile(path);
        if (!real)
            return nullptr;
        return std::make_unique<Reader>(*this, key, std::move(real));
    }

    std::set<std::u16string> failFolders;
    std::set<std::u16string> failFiles;
    std::set<std::u16string> failReads;    // Read returns -1
    std::set<std::u16string> pseudoLinks;  // links listed as leading to a pseudo file system
    bool wholeSecondTimes = false;         // files are listed with times of whole seconds (ext4 -I 128, FAT)
    std::function<void(const std::u16string&)> beforeOpenFile;
    std::function<void(const std::u16string&, uint64_t)> afterRead;  // path, bytes so far
    std::vector<std::u16string> opened;
    std::atomic<uint64_t> bytesRead{0};
    size_t foldersOpened = 0;
    std::mutex mutex;

private:
    class Listing : public IDirListing {
    public:
        Listing(FaultFileSystem& owner, std::u16string path, std::unique_ptr<IDirListing> real)
            : m_owner(owner), m_path(std::move(path)), m_real(std::move(real))
        {
        }
        FileIdentity Identity() const override { return m_real->Identity(); }
        bool Next(DirEntry& entry) override
        {
            if (!m_real->Next(entry))
                return false;
            if (entry.isLink && m_owner.pseudoLinks.count(m_path + u"/" + entry.name))
                entry.onPseudoFileSystem = true;
            if (m_owner.wholeSecondTimes) {
                entry.lastWrite -= entry.lastWrite % 10000000;
                entry.changeTime -= entry.changeTime % 1000000000;
            }
            return true;
        }

    private:
        FaultFileSystem& m_owner;
        std::u16string m_path;
        std::unique_ptr<IDirListing> m_real;
    };

    class Reader : public IFileReader {
    public:
        Reader(FaultFileSystem& owner, std::u16string path, std::unique_ptr<IFileReader> real)
            : m_owner(owner), m_path(std::move(path)), m_real(std::move(real))
        {
        }
        uint64_t Size() const override { return m_real->Size(); }
        int64_t Read(void* buffer, size_t count) override
        {
            {
                std::lock_guard<std::mutex> lock(m_owner.mutex);
                if (m_owner.failReads.count(m_path))
                    return -1;
            }
            const int64_t got = m_real->Read(buffer, count);
            if (got > 0) {
                m_owner.bytesRead += static_cast<uint64_t>(got);
                m_total += static_cast<uint64_t>(got);
                if (m_owner.afterRead)
                    m_owner.afterRead(m_path, m_total);
            }
            return got;
        }

    private:
        FaultFileSystem& m_owner;
        std::u16string m_path;
        std::unique_ptr<IFileReader> m_real;
        uint64_t m_total = 0;
    };
};

// Resets every engine global before and after each test and installs a FaultFileSystem.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngine();
        g_fileSystem = &fs;
    }
    void TearDown() override { ResetEngine(); }

    static void ResetEngine()
    {
        ResetCatalogue();
        g_digestStore = nullptr;
    }

    // Runs a whole search over the folders, as the window does, without sorting the rows, once the
    // files written before are safely old (LetFilesAge).
    void Search(const std::vector<std::string>& folders)
    {
        LetFilesAge();
        std::vector<std::u16string> paths;
        for (const std::string& folder : folders)
            paths.push_back(U(folder));
        BeginSearchRun(0, 0);
        EXPECT_EQ(SearchThreadProc(&sink, paths), 1);
    }

    // Waits until the files written so far are safely older than a digest begun now: the digest of
    // a file changed within the last tick of the clock that file times come from answers for its
    // own search alone (see RacyEntries.h).
    static void LetFilesAge()
    {
        timespec tick{};
        clock_getres(CLOCK_REALTIME_COARSE, &tick);
        std::this_thread::sleep_for(std::chrono::nanoseconds(2 * tick.tv_nsec) + std::chrono::milliseconds(1));
    }

    // The UTF-16 path of a native path.
    static std::u16string U(const std::string& native) { return DecodeNativeName(native); }

    std::vector<std::u16string> ListedPaths() const
    {
        std::vector<std::u16string> paths;
        for (const CFileRecord& record : g_fileList)
            paths.push_back(record.path.str());
        return paths;
    }

    TempDir dir;
    FaultFileSystem fs;
    RecordingSink sink;
};

}  // namespace quillon::test
