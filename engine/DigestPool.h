#pragma once
// Threads that work for the search worker. The worker hands a batch of tasks to Run and takes part
// itself; Run returns when every task is done. Tasks only read files (or the store) and write their
// own result slots: the engine's containers and caches stay with the worker.
//
// The pool runs one caller's tasks at a time: a Start is finished (Finish) by the thread that
// started it before anyone starts or runs anything else, which the pool checks (it ends the
// process when the rule is broken: tasks overwritten under its helpers would be memory gone wrong).
// Its users, and when each runs, on the search worker (or the thread that runs a search):
// - while the scan lists files, the run's scan companion (IScanCompanion), one of two:
//   CEarlyDigests (a CDigestBatch at a time) or CEarlyStoredDigests (one task reading the store);
// - in each phase, CPhaseDigests: in Start the hashed lookups of a window (Run), then the window's
//   digests (a CDigestBatch, finished by Advance before the next window starts);
// - when the run ends, the store's save (CRowWriter, one task storing rows while the next are made).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

class CDigestPool {
public:
    // The process-wide pool: one helper per processor beyond the first (at most 7; the environment
    // variable QUILLON_DIGEST_THREADS may set fewer threads), started on first use and joined at
    // exit.
    static CDigestPool& Instance();

    // Calls task(i) for every i below count, spread over the calling thread and the helpers (a
    // single task runs on the calling thread). In a forked child the caller does every task.
    void Run(size_t count, std::function<void(size_t)> task);
    // Run in two halves: Start hands the tasks (a single one too) to the helpers and returns at
    // once, so that the caller can do other work meanwhile; Finish takes part in the tasks left and returns when every
    // task is done. Without helpers (one processor, a forked child) Finish does them all. Between
    // the two the pool runs nothing else; Finish without a Start does nothing.
    // Run and Start end the process when tasks of a Start are not finished yet, and Finish when
    // called on another thread than that Start's.
    void Start(size_t count, std::function<void(size_t)> task);
    void Finish();
    // Whether the helpers have no task of the last Start left (Finish then only does what no helper
    // took, if any); true when none was handed to them.
    bool HelpersDone();

    // Whether this process is a child forked from the one that made the pool: one that starts no
    // thread (another thread of the parent may have held a lock at the fork).
    bool InForkedChild() const { return getpid() != m_owner; }

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
    // Ends the process, naming the broken rule, when tasks of a Start are not finished yet.
    void RequireNoTasks(const char* caller) const;

    std::thread::id m_starter;  // the thread of the last Start, until its Finish

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::function<void(size_t)> m_task;  // set from Start to the end of Finish
    size_t m_count = 0;
    std::atomic<size_t> m_next{0};
    size_t m_busyHelpers = 0;
    bool m_started = false;  // the helpers were handed the tasks
    unsigned long m_generation = 0;
    bool m_quit = false;
    std::vector<std::thread> m_helpers;
    int m_owner;  // the process whose threads the helpers are
};
