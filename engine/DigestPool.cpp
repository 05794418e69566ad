#include "engine/DigestPool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

CDigestPool& CDigestPool::Instance()
{
    static CDigestPool pool(HelperCount());
    return pool;
}

size_t CDigestPool::HelperCount()
{
    // QUILLON_DIGEST_THREADS=N caps the threads (the caller included), e.g. 1 to measure one thread.
    size_t threads = std::max(std::thread::hardware_concurrency(), 1u);
    if (const char* cap = std::getenv("QUILLON_DIGEST_THREADS"); cap && std::atoi(cap) > 0)
        threads = std::min<size_t>(threads, static_cast<size_t>(std::atoi(cap)));
    return std::min<size_t>(threads - 1, 7);
}

CDigestPool::CDigestPool(size_t helpers) : m_owner(getpid())
{
    for (size_t i = 0; i < helpers; ++i)
        m_helpers.emplace_back(&CDigestPool::HelperLoop, this);
}

CDigestPool::~CDigestPool()
{
    if (getpid() != m_owner) {
        // A forked child has none of the helper threads: there is nothing to join.
        new std::vector<std::thread>(std::move(m_helpers));  // never destroyed, on purpose
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    for (std::thread& helper : m_helpers)
        helper.join();
}

void CDigestPool::RequireNoTasks(const char* caller) const
{
    if (!m_task)
        return;
    std::fprintf(stderr, "CDigestPool::%s: the tasks of the last Start are not finished; one caller at a time\n", caller);
    std::abort();
}

void CDigestPool::Run(size_t count, std::function<void(size_t)> task)
{
    RequireNoTasks("Run");
    if (count < 2) {
        for (size_t i = 0; i < count; ++i)
            task(i);  // nobody to share it with: waking a helper would only cost time
        return;
    }
    Start(count, std::move(task));
    Finish();
}

void CDigestPool::Start(size_t count, std::function<void(size_t)> task)
{
    RequireNoTasks("Start");
    m_starter = std::this_thread::get_id();
    m_task = std::move(task);
    m_count = count;
    m_next.store(0);
    m_started = !m_helpers.empty() && count >= 1 && getpid() == m_owner;
    if (!m_started)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_busyHelpers = m_helpers.size();
        ++m_generation;
    }
    m_wake.notify_all();
}

void CDigestPool::Finish()
{
    if (!m_task)
        return;
    if (std::this_thread::get_id() != m_starter) {
        std::fprintf(stderr, "CDigestPool::Finish: called on another thread than its Start\n");
        std::abort();
    }
    Work();
    if (m_started) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [this] { return m_busyHelpers == 0; });
    }
    m_started = false;
    m_task = nullptr;
}

bool CDigestPool::HelpersDone()
{
    if (!m_started)
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_busyHelpers == 0;
}

void CDigestPool::Work()
{
    for (size_t i = m_next.fetch_add(1); i < m_count; i = m_next.fetch_add(1))
        m_task(i);
}

void CDigestPool::HelperLoop()
{
    unsigned long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_quit || m_generation != seen; });
            if (m_quit)
                return;
            seen = m_generation;
        }
        Work();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_busyHelpers == 0)
            m_done.notify_one();
    }
}
