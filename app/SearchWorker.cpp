#include "app/SearchWorker.h"

#include <utility>

#include "engine/SearchRun.h"

void CSearchWorker::Start(IEngineSink* sink, std::vector<std::u16string> folders)
{
    WaitUntilEnded();
    m_thread = std::jthread([sink, folders = std::move(folders)] { SearchThreadProc(sink, folders); });
}

void CSearchWorker::WaitUntilEnded()
{
    if (m_thread.joinable())
        m_thread.join();
}
