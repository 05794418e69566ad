#include "app/SearchWorker.h"

#include <thread>

#include "engine/SearchRun.h"

CSearchWorker::~CSearchWorker()
{
    WaitUntilEnded();
}

bool CSearchWorker::Start(IEngineSink* sink, std::vector<std::u16string> folders)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bRunning)
            return false;
        m_bRunning = true;
    }
    std::thread([this, sink, folders = std::move(folders)] {
        SearchThreadProc(sink, folders);
        // The last thing the worker does: nothing of the worker touches the engine after this.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bRunning = false;
        m_ended.notify_all();
    }).detach();
    return true;
}

bool CSearchWorker::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bRunning;
}

void CSearchWorker::WaitUntilEnded()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ended.wait(lock, [this] { return !m_bRunning; });
}
