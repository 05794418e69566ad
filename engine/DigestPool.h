#pragma once
// Threads that compute file digests for the search worker. The worker hands a batch of tasks to
// Run and takes part itself; Run returns when every task is done. Tasks only read files and write
// their own result slots: the engine's containers and caches stay with the worker.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CDigestPool {
public:
    // The process-wide pool: one helper per processor beyond the first (at most 7; the environment
    // variable QUILLON_DIGEST_THREADS may set fewer threads), started on first use and joined at
    // exit.
    static CDigestPool& Instance();

    // Calls task(i) for every i below count, spread over the calling thread and the helpers.
    // One caller at a time (the search worker). In a forked child the caller does every task.
    void Run(size_t count, const std::function<void(size_t)>& task);

    // Number of threads that run tasks, the caller included.
    size_t Threads() const { return m_helpers.size() + 1; }

    explicit CDigestPool(size_t helpers);
    ~CDigestPool();
    CDigestPool(const CDigestPool&) = delete;
    CDigestPool& operator=(const CDigestPool&) = delete;

private:
    static size_t HelperCount();
    void HelperLoop();
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(size_t)>* m_task = nullptr;
    size_t m_count = 0;
    std::atomic<size_t> m_next{0};
    size_t m_busyHelpers = 0;
    unsigned long m_generation = 0;
    bool m_quit = false;
    std::vector<std::thread> m_helpers;
    int m_owner;  // the process whose threads the helpers are
};
