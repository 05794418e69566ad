#pragma once
// The thread of one search run at a time. Start runs SearchThreadProc on a new detached thread,
// which ends by itself after its last message; the window thread can ask whether it still runs
// and, once the last message has been handled, wait for its end.
//
// Threads: Start, IsRunning and WaitUntilEnded are called on the window thread. The worker only
// marks its own end.
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

class IEngineSink;

class CSearchWorker {
public:
    CSearchWorker() = default;
    CSearchWorker(const CSearchWorker&) = delete;
    CSearchWorker& operator=(const CSearchWorker&) = delete;
    // Waits for a thread still running (see WaitUntilEnded).
    ~CSearchWorker();

    // Starts SearchThreadProc(sink, folders) on a detached thread. Returns false, starting
    // nothing, while the previous run's thread has not ended: there is one run at a time.
    bool Start(IEngineSink* sink, std::vector<std::u16string> folders);

    // True from Start until the worker's procedure has returned.
    bool IsRunning() const;

    // Blocks until the worker has ended. Only safe when the worker needs nothing more from the
    // calling thread: after its last message was handled, or when it sends to no one.
    void WaitUntilEnded();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_bRunning = false;
};
