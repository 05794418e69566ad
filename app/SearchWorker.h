#pragma once
// The thread of one search run at a time: Start runs SearchThreadProc on a thread this object owns,
// which ends by itself after its last message; the window thread waits for its end once that
// message has been handled, and the object's end waits for it in any case.
//
// Threads: Start and WaitUntilEnded are called on the window thread; the worker runs the search.
#include <string>
#include <thread>
#include <vector>

class IEngineSink;

class CSearchWorker {
public:
    CSearchWorker() = default;
    CSearchWorker(const CSearchWorker&) = delete;
    CSearchWorker& operator=(const CSearchWorker&) = delete;
    // Waits for a thread still running (see WaitUntilEnded).
    ~CSearchWorker() = default;

    // Starts SearchThreadProc(sink, folders) on the worker's thread, after the end of the thread of
    // the run before, which must have sent its last message (see WaitUntilEnded): one run at a time.
    void Start(IEngineSink* sink, std::vector<std::u16string> folders);

    // Blocks until the worker has ended. Only safe when the worker needs nothing more from the
    // calling thread: after its last message was handled, or when it sends to no one.
    void WaitUntilEnded();

private:
    std::jthread m_thread;  // joined when it is replaced, waited for, or goes
};
